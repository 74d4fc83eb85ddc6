// The edit and the memo: controls the player types text into. Unlike every other kind they draw
// nothing into the layers: each owns a text field of the scene host (a single-line edit or a
// multi-line memo with a scroll bar) that lies over the component's screen rectangle, above the
// game's picture. The component carries the properties, mirrors them into the field, keeps the
// field's place and visibility in step with the scene (shown only while the component is visible
// on the active layer) and turns the keys typed into it into script events.
//
// Properties: the text, font (name, height, style), font and background colours and the read-only
// flag are the field's; Paused disables the field; HandleKey is always true, so the scene's focus
// rules reach the edit like any key control: the field has the keyboard while it is the scene's
// focused control and shown, and a click into the field makes it the focused control (queuing the
// focus events). Every key pressed in the field queues PR_ONNOTIFY (when its handler is set) with
// the virtual-key code and the text as it was before the key acted. Enter and Escape do nothing
// in an edit; in a memo Enter breaks the line (CR LF). A memo also has the alignment (0 left,
// 1 right, 2 centre) and one more byte in its record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"
#include "platform/fields/text_field.h"

namespace kova {

class TKovaEdit : public TKovaControl, private plat::ITextFieldListener {
 public:
  explicit TKovaEdit(TKovaObject* owner) : TKovaEdit(owner, plat::TTextFieldKind::SingleLine) {}
  ~TKovaEdit() override;

  uint8_t GetCompoType() const override { return KT_EDIT; }

  // ---- Properties (the field's) ----
  std::string GetText() const override { return field_->Text(); }
  void SetText(const std::string& v) override { field_->SetText(v); }
  std::string GetFontName() const override { return field_->FontName(); }
  void SetFontName(const std::string& v) override { field_->SetFontName(v); }
  // The height's absolute value (a negative height is the characters' height, a positive one the
  // cell height).
  int32_t GetFontHeight() const override;
  void SetFontHeight(int32_t v) override { field_->SetFontHeight(v); }
  TFontStyles GetFontStyle() const override { return TFontStyles{field_->FontStyle()}; }
  void SetFontStyle(TFontStyles v) override { field_->SetFontStyle(v.bits); }
  int32_t GetFontColor() const override { return field_->FontColor(); }
  void SetFontColor(int32_t v) override { field_->SetFontColor(v); }
  int32_t GetColor() const override { return field_->Color(); }
  void SetColor(int32_t v) override { field_->SetColor(v); }
  bool GetReadOnly() const override { return field_->ReadOnly(); }
  void SetReadOnly(bool v) override { field_->SetReadOnly(v); }
  bool GetPaused() const override { return !field_->Enabled(); }
  void SetPaused(bool v) override { field_->SetEnabled(!v); }
  bool GetHandleKey() const override { return true; }
  void SetHandleKey(bool) override {}
  std::string GetOnNotify() const override { return on_notify_; }
  void SetOnNotify(const std::string& v) override { on_notify_ = v; }

  // ---- Place and visibility (each followed by Sync) ----
  void SetVisible(bool v) override;
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  void SetParent(TKovaControl* p) override;
  void PositionChanged() override;

  // ---- Behaviour ----
  // Places the field over the component and shows it while the component is visible on the
  // active layer (else hides it); a shown field of the focused control takes the keyboard.
  void Sync();
  void SyncNative() override { Sync(); }
  // The control's update, then Sync when the field's visibility or place no longer matches; the
  // field gives the keyboard back once the scene's focus has moved elsewhere.
  bool Update() override;
  void SaveToStream(TStream& stream) const override;
  void LoadFromStream(TStream& stream, int32_t version) override;

  plat::ITextField& Field() { return *field_; }

 protected:
  TKovaEdit(TKovaObject* owner, plat::TTextFieldKind kind);

 private:
  // The record's one description, run by SaveToStream and LoadFromStream.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  void TextFieldKeyDown(int32_t key) override;
  void TextFieldFocused() override;

  // The fields of a component made without a root container.
  std::unique_ptr<plat::ITextFieldHost> own_fields_;
  std::unique_ptr<plat::ITextField> field_;
  std::string on_notify_;
};

class TKovaMemo : public TKovaEdit {
 public:
  explicit TKovaMemo(TKovaObject* owner) : TKovaEdit(owner, plat::TTextFieldKind::MultiLine) {}

  uint8_t GetCompoType() const override { return KT_MEMO; }
  // 0 left, 1 right, 2 centre (the field's numbering).
  uint8_t GetHAlign() const override;
  void SetHAlign(uint8_t v) override;
};

}  // namespace kova
