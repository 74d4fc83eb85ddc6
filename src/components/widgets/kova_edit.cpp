#include "components/widgets/kova_edit.h"

#include <cstdlib>

#include "components/scene/kova_base_list.h"
#include "core/array_string.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "platform/fields/text_fields.h"

namespace kova {

TKovaEdit::TKovaEdit(TKovaObject* owner, plat::TTextFieldKind kind) : TKovaControl(owner) {
  TKovaBaseList* root = Root();
  if (!root) own_fields_ = std::make_unique<plat::TTextFieldSet>();
  plat::ITextFieldHost& fields = root ? root->SceneHost().TextFields() : *own_fields_;
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

template <class IO, class R>
void TKovaEdit::Transfer(IO& io, R& r) {
  io.Bool(r.GetPaused(), [&](auto v) { r.SetPaused(v); });
  io.Str(r.field_->Text(), [&](auto v) { r.SetText(v); });
  io.Str(r.field_->FontName(), [&](auto v) { r.SetFontName(v); });
  // The height as set, sign included, so that a load gives the same font back.
  io.Int(r.field_->FontHeight(), [&](auto v) { r.SetFontHeight(v); });
  uint8_t style = r.field_->FontStyle();
  io.Byte(style);
  if constexpr (IO::kLoading) r.SetFontStyle(TFontStyles{uint8_t(style & 15)});
  io.Int(r.field_->FontColor(), [&](auto v) { r.SetFontColor(v); });
  io.Int(r.field_->Color(), [&](auto v) { r.SetColor(v); });
  io.Bool(r.field_->ReadOnly(), [&](auto v) { r.SetReadOnly(v); });
  if (r.GetCompoType() == KT_MEMO) io.Byte(r.GetHAlign(), [&](auto v) { r.SetHAlign(v); });
  io.Str(r.on_notify_);
}

void TKovaEdit::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaEdit::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  Sync();
}

// ---- Memo ----

uint8_t TKovaMemo::GetHAlign() const { return const_cast<TKovaMemo*>(this)->Field().Alignment(); }

void TKovaMemo::SetHAlign(uint8_t v) { Field().SetAlignment(v); }

}  // namespace kova
