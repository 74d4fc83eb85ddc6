#include "components/kova_edit.h"

#include <cstdlib>

#include "components/kova_base_list.h"
#include "core/array_string.h"
#include "core/stream_records.h"
#include "platform/text_fields.h"

namespace kova {

TKovaEdit::TKovaEdit(TKovaObject* owner, plat::TTextFieldKind kind) : TKovaControl(owner) {
  TKovaBaseList* root = Root();
  if (!root) own_fields_ = std::make_unique<plat::TTextFieldSet>();
  plat::ITextFieldHost& fields = root ? root->Host().TextFields() : *own_fields_;
  field_ = fields.CreateField(kind);
  field_->SetListener(this);
}

// The field goes first; the control's destruction then clears the focus when it was this one, and
// the root container chooses the next.
TKovaEdit::~TKovaEdit() { field_.reset(); }

int32_t TKovaEdit::GetFontHeight() const { return std::abs(field_->FontHeight()); }

void TKovaEdit::SetVisible(bool v) {
  if (v == VisibleFlag()) return;
  TKovaControl::SetVisible(v);
  Sync();
}

void TKovaEdit::SetWidth(int32_t v) {
  if (v == GetWidth()) return;
  TKovaControl::SetWidth(v);
  Sync();
}

void TKovaEdit::SetHeight(int32_t v) {
  if (v == GetHeight()) return;
  TKovaControl::SetHeight(v);
  Sync();
}

void TKovaEdit::SetParent(TKovaControl* p) {
  TKovaControl::SetParent(p);
  Sync();
}

void TKovaEdit::PositionChanged() {
  TKovaControl::PositionChanged();
  Sync();
}

void TKovaEdit::Sync() {
  if (!IsOnActiveBase()) {
    field_->SetVisible(false);
    return;
  }
  const int32_t left = GetScreenLeft(), top = GetScreenTop();
  field_->SetBounds(plat::TScreenRect{left, top, left + GetWidth(), top + GetHeight()});
  field_->SetVisible(true);
  TKovaBaseList* root = Root();
  if (root && root->FocusControl() == this) field_->Focus();
}

bool TKovaEdit::Update() {
  const bool finished = TKovaControl::Update();
  // A motion or a parent's scroll moves the component without telling it.
  const bool shown = IsOnActiveBase();
  const int32_t left = GetScreenLeft(), top = GetScreenTop();
  const plat::TScreenRect at{left, top, left + GetWidth(), top + GetHeight()};
  if (shown != field_->Visible() || (shown && at != field_->Bounds())) Sync();
  TKovaBaseList* root = Root();
  if (field_->Focused() && (!root || root->FocusControl() != this)) field_->Blur();
  return finished;
}

void TKovaEdit::TextFieldKeyDown(int32_t key) {
  if (on_notify_.empty()) return;
  TArrayString params;
  params.Add(std::to_string(key));
  params.Add(field_->Text());
  QueueEvent(on_notify_, PR_ONNOTIFY, &params);
}

void TKovaEdit::TextFieldFocused() {
  if (TKovaBaseList* root = Root()) root->SetFocusControl(this);
}

// ---- Save form ----

void TKovaEdit::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  WriteStreamBool(stream, GetPaused());
  WriteStreamString(stream, field_->Text());
  WriteStreamString(stream, field_->FontName());
  // The height as set, sign included, so that a load gives the same font back.
  WriteStreamInteger(stream, field_->FontHeight());
  WriteStreamByte(stream, field_->FontStyle());
  WriteStreamInteger(stream, field_->FontColor());
  WriteStreamInteger(stream, field_->Color());
  WriteStreamBool(stream, field_->ReadOnly());
  if (GetCompoType() == KT_MEMO) WriteStreamByte(stream, GetHAlign());
  WriteStreamString(stream, on_notify_);
}

void TKovaEdit::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  SetPaused(ReadStreamBool(stream));
  SetText(ReadStreamString(stream));
  SetFontName(ReadStreamString(stream));
  SetFontHeight(ReadStreamInteger(stream));
  SetFontStyle(TFontStyles{uint8_t(ReadStreamByte(stream) & 15)});
  SetFontColor(ReadStreamInteger(stream));
  SetColor(ReadStreamInteger(stream));
  SetReadOnly(ReadStreamBool(stream));
  if (GetCompoType() == KT_MEMO) SetHAlign(ReadStreamByte(stream));
  on_notify_ = ReadStreamString(stream);
  Sync();
}

// ---- Memo ----

uint8_t TKovaMemo::GetHAlign() const { return const_cast<TKovaMemo*>(this)->Field().Alignment(); }

void TKovaMemo::SetHAlign(uint8_t v) { Field().SetAlignment(v); }

}  // namespace kova
