// What rich text needs of the layers above it, as small interfaces those layers implement: the
// script's variables and text delay (VAR glyphs, the WAIT base), pictures for IMG glyphs, and the
// hook that hands EVENT values to the owner (which queues the script events).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kova {

class TCustomDIBX;
class TKovaParser;
class TXrWord;

class TTextScriptPort {
 public:
  virtual ~TTextScriptPort() = default;
  // The current value of "@TextDelay": the base of the parser's WAIT stack.
  virtual int32_t TextDelay() const = 0;
  // The string value of the script variable `name`; nothing when no such variable exists.
  virtual std::optional<std::string> VariableText(std::string_view name) = 0;
  // The string value of an expression's result; nothing when it gives no result.
  virtual std::optional<std::string> ExpressionText(TKovaParser& expression) = 0;
};

// One loaded picture of an IMG glyph: its size, its frame animation and its surfaces.
class TTextPicture {
 public:
  virtual ~TTextPicture() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // True when the picture has more than one frame.
  virtual bool Animated() const = 0;
  // Advances the frame animation by `elapsed` milliseconds; true when the shown frame changed.
  virtual bool Step(int32_t elapsed) = 0;
  // Frees and re-creates the drawing surfaces around a display change.
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  // Draws the shown frame with its top-left at (x, y): levels 1..255 blend (255 copies the
  // frame's opaque pixels), 256..511 add at level - 256; the frame's transparent colour and alpha
  // plane apply. Base: draws nothing.
  virtual void Draw(TCustomDIBX& /*target*/, int32_t /*x*/, int32_t /*y*/, int32_t /*level*/) {}
};

class TTextImagePort {
 public:
  virtual ~TTextImagePort() = default;
  // The picture of that game file, or nullptr when no data source holds it.
  virtual std::unique_ptr<TTextPicture> Load(std::string_view source) = 0;
};

// Called with the document and one EVENT value, in order, once the revealed text has faded in.
using TTextEventHook = std::function<void(TXrWord& document, const std::string& value)>;

}  // namespace kova
