#include "motion/prev_menu_file.h"

#include <cstdio>

#include "core/errors.h"
#include "core/messages.h"
#include "core/path_parser.h"
#include "core/stream.h"
#include "core/stream_records.h"

namespace kova {

namespace {

// The smallest record a button can have: four integers, a flag and nine empty names (ten from
// version 101).
int64_t MinButtonBytes(int32_t version) { return 4 * 4 + 1 + (version >= 101 ? 10 : 9) * 4; }

int32_t Version(const char digits[3]) {
  int32_t v = 0;
  for (int i = 0; i < 3; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return 0;
    v = v * 10 + (digits[i] - '0');
  }
  return v;
}

}  // namespace

TContSelButton& TContSelList::AddButton() {
  char name[32];
  std::snprintf(name, sizeof(name), "Button%.2d", int(TopButtonCount()));
  buttons_.push_back(std::make_unique<TContSelButton>(*this));
  buttons_.back()->Name = name;
  return *buttons_.back();
}

int32_t TContSelList::TopButtonCount() const {
  int32_t n = 0;
  for (const auto& b : buttons_) n += b->Parent == nullptr ? 1 : 0;
  return n;
}

TContSelButton* TContSelList::GetTopButton(int32_t n) const {
  if (n < 0) return nullptr;
  for (const auto& b : buttons_) {
    if (b->Parent) continue;
    if (n-- == 0) return b.get();
  }
  return nullptr;
}

void TContSelList::LoadFromStream(TStream& stream, std::string_view folder) {
  Clear();
  char header[kSignature.size()] = {};
  if (stream.Read(header, int64_t(sizeof(header))) != int64_t(sizeof(header))) return;
  if (std::string_view(header, sizeof(header)) != kSignature) return;
  char digits[3] = {};
  if (stream.Read(digits, 3) != 3) return;
  const int32_t version = Version(digits);
  if (version < 100) return;
  Width = ReadStreamInteger(stream);
  Height = ReadStreamInteger(stream);
  const int32_t count = ReadStreamInteger(stream);
  // A count the bytes left cannot hold is a damaged file.
  const int64_t left = stream.GetSize() - stream.GetPosition();
  if (count < 0 || int64_t(count) * MinButtonBytes(version) > left) Raise<EReadError>(TMsg::StreamReadError);
  auto name = [&] { return ExpandRelativePath(ReadStreamString(stream), folder); };
  for (int32_t i = 0; i < count; ++i) {
    // Read whole before it joins the list: a cut record adds nothing. Its stored name replaces
    // the one AddButton would have given it.
    auto b = std::make_unique<TContSelButton>(*this);
    b->X = ReadStreamInteger(stream);
    b->Y = ReadStreamInteger(stream);
    b->SetImage(name());
    b->Flag = ReadStreamByte(stream);
    b->Name = ReadStreamString(stream);
    b->AltImage1 = name();
    b->AltImage2 = name();
    b->AltImage3 = name();
    if (version >= 101) b->AltImage4 = name();
    b->SetHoverImage(name());
    b->SubImage2 = name();
    b->ExtraFile = name();
    b->SubOffsetX = ReadStreamInteger(stream);
    b->SubOffsetY = ReadStreamInteger(stream);
    b->SetHoverLeft(b->SubOffsetX);
    b->SetHoverTop(b->SubOffsetY);
    b->Cursor = name();
    buttons_.push_back(std::move(b));
  }
}

}  // namespace kova
