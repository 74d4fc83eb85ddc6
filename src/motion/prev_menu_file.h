// The preview-menu file: a screen of picture buttons laid out by the authoring tool. A list of
// button records (each with its place, its pictures, its flag, name and cursor) and the menu's
// size, read from a file whose header is "KovaPrevMenu" and three version digits (100 or 101;
// version 101 adds a fifth picture to each button). Picture names are resolved against the menu
// file's folder; a name of the menu's buttons stays as stored.
//
// A header that does not match, or a version below 100, leaves the list empty. A file cut short
// or damaged raises the stream's read error; the list then holds the buttons read whole before it
// (a button count is never trusted beyond what the bytes can hold).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TStream;
class TContSelList;

class TContSelButton {
 public:
  explicit TContSelButton(TContSelList& list) : List(list) {}
  TContSelList& List;
  int32_t X = 0, Y = 0;
  std::string Image;
  uint8_t Flag = 0;
  std::string Name;
  std::string AltImage1, AltImage2, AltImage3, AltImage4;
  std::string SubImage, SubImage2, ExtraFile;
  // The player's lists never link buttons: no child, no parent.
  TContSelButton* Child = nullptr;
  TContSelButton* Parent = nullptr;
  int32_t SubOffsetX = 0, SubOffsetY = 0;
  std::string Cursor;

  void SetImage(std::string name) { Image = std::move(name); }
  void SetHoverImage(std::string name) { SubImage = std::move(name); }
  int32_t GetHoverLeft() const { return Child ? Child->X : SubOffsetX; }
  int32_t GetHoverTop() const { return Child ? Child->Y : SubOffsetY; }
  void SetHoverLeft(int32_t x) {
    if (Child) Child->X = x;
  }
  void SetHoverTop(int32_t y) {
    if (Child) Child->Y = y;
  }
};

class TContSelList {
 public:
  static constexpr std::string_view kSignature = "KovaPrevMenu";

  int32_t Width = 0, Height = 0;

  void Clear() { buttons_.clear(); }
  // A new button named "Button%.2d" after the number of top-level buttons, appended.
  TContSelButton& AddButton();
  int32_t TopButtonCount() const;
  // The n-th top-level button (from 0); nullptr when there are fewer.
  TContSelButton* GetTopButton(int32_t n) const;
  // Reads a menu file; picture names are resolved against `folder` (ending in "\").
  void LoadFromStream(TStream& stream, std::string_view folder);

 private:
  std::vector<std::unique_ptr<TContSelButton>> buttons_;
};

}  // namespace kova
