#include "script/page.h"

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/lists.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/commands.h"

namespace kova {

namespace {

TPropSets MakeBuiltinSets() {
  TPropSets sets{};
  auto set = [&sets](TCommandKind kind, TPropSet words) { sets[static_cast<size_t>(kind)] = words; };
  set(TCommandKind::BoxNew, {0x28007f7f, 0x00008bfc, 0x00010080, 0x00f20088, 0x00bf0040});
  set(TCommandKind::ImgNew, {0xac00789f, 0x00009ffc, 0x01010080, 0x00f38098, 0x00bf0050});
  set(TCommandKind::MesNew, {0x0e7df87b, 0x0000cbff, 0x00070000, 0x00f200a8, 0x01bfe000});
  set(TCommandKind::Timer, {0x0c000001, 0x00000002, 0x00000080, 0x00000000, 0x00800000});
  set(TCommandKind::Movie, {0xfc00789f, 0x00009bfc, 0x00010080, 0x00f38098, 0x40ff0850});
  set(TCommandKind::Cinema, {0x3800701f, 0x00009bfc, 0x00010080, 0x00f20088, 0x40bf0840});
  set(TCommandKind::Caption, {0xaa0ff89f, 0x00248bfc, 0x00010080, 0x00f20098, 0x00bf0050});
  set(TCommandKind::Menu, {0x0fef9f1b, 0xfffe83fc, 0x00013fff, 0x00f0008a, 0x1ebfe1c0});
  set(TCommandKind::Button, {0x8800789f, 0x00008c0e, 0x01f90080, 0x00f38098, 0x00bf0070});
  set(TCommandKind::ParticleNew, {0x0c00787f, 0x000093fc, 0xf0010000, 0x01f200c9, 0x00bf0040});
  set(TCommandKind::FireNew, {0x0800709b, 0x000083fc, 0x0e010000, 0x00f20098, 0x00bf0050});
  set(TCommandKind::Sound, {0x7c000005, 0x00001800, 0x00000080, 0x00000000, 0x40800800});
  set(TCommandKind::EditNew, {0x080be17b, 0x00048002, 0x00000000, 0x00000004, 0x00800000});
  set(TCommandKind::MemoNew, {0x080be17b, 0x00248002, 0x00000000, 0x00000004, 0x00800000});
  set(TCommandKind::MapImgNew, {0x0800781f, 0x000087fc, 0x00090380, 0x00f20788, 0x00bf0040});
  set(TCommandKind::WaveNew, {0x0c00707b, 0x000083fc, 0x00010000, 0x00f21888, 0x00bf0040});
  set(TCommandKind::TileNew, {0x080018ff, 0x000087fc, 0x00010000, 0x00ffe088, 0x00bf0050});
  set(TCommandKind::SliderNew, {0x0800781f, 0x000083fe, 0x01010000, 0xfef20088, 0x20bf0180});
  set(TCommandKind::ScrollbarNew, {0x0800781f, 0x000083fe, 0x01010000, 0xfef20088, 0x20bf0181});
  set(TCommandKind::GaugeNew, {0x0c00781f, 0x000083fc, 0x00010000, 0x79f20088, 0x20bf0200});
  set(TCommandKind::CGCaption, {0x0804781f, 0x002483fc, 0x00010000, 0x00f20088, 0x00bf004e});
  set(TCommandKind::PrevMenuNew, {0x0800701f, 0x00008800, 0x00010380, 0x00f20308, 0x00bf0040});
  set(TCommandKind::SaveCabinet, {0x00000001, 0, 0, 0, 0});
  set(TCommandKind::LoadCabinet, {0x00000001, 0, 0, 0, 0});
  return sets;
}

// The smallest command record: the type byte and the base record.
constexpr int64_t kMinCommandSize = 1 + 4 + 1 + 1 + 4;

}  // namespace

const TPropSets& BuiltinPropSets() {
  static const TPropSets sets = MakeBuiltinSets();
  return sets;
}

// ---- TComList ----

TComList::~TComList() { Clear(); }

TCommand* TComList::GetItem(int32_t i) const {
  CheckListIndex(i, items_.size());
  return items_[static_cast<size_t>(i)].get();
}

void TComList::Add(std::unique_ptr<TCommand> command) { items_.push_back(std::move(command)); }

void TComList::Clear() { items_.clear(); }

// ---- TPage ----

TPage::TPage() : PropSets(BuiltinPropSets()) {}

TPage::~TPage() { ClearCommands(); }

void TPage::ClearCommands() { Commands.Clear(); }

bool TPage::HasProp(int32_t type, int32_t id) const {
  if (type < 0 || type >= kPropSetCount || id < 0 || id >= 160) return false;
  return (PropSets[static_cast<size_t>(type)][static_cast<size_t>(id / 32)] >> (id % 32)) & 1u;
}

int32_t TPage::FindLabel(std::string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (Commands[i]->IsLabel(name)) return i;
  }
  return -1;
}

int32_t TPage::IndexOf(const TCommand* command) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (Commands[i] == command) return i;
  }
  return -1;
}

void TPage::LoadFromFile(TVrFileManager& files, std::string_view name) {
  ClearCommands();
  Name.assign(name);
  TMemoryStream contents;
  files.LoadFile(contents, name);
  LoadFromStream(contents);
}

void TPage::LoadFromStream(TStream& stream) {
  ClearCommands();
  try {
    Parse(stream);
  } catch (const EReadError&) {
    ClearCommands();
    RaisePageCorrupt(*this);
  } catch (...) {
    ClearCommands();
    throw;
  }
}

void TPage::Parse(TStream& stream) {
  Version = ReadStreamInteger(stream);
  if (Version > kPageVersion) return;
  if (Version < kPageOldestVersion) return;
  ResultType = ReadStreamByte(stream);
  const int32_t set_count = ReadStreamInteger(stream);
  const int32_t set_size = ReadStreamInteger(stream);
  if (set_count < 0 || set_size < 0 ||
      static_cast<int64_t>(set_count) * set_size > stream.Remaining()) {
    RaisePageCorrupt(*this);
  }
  // Records overwrite the built-in sets of their own types only, so a page without records keeps
  // them. Records beyond the last type are skipped together (a count of empty records would
  // otherwise cost a loop pass each).
  const int32_t read = std::min(set_count, kPropSetCount);
  for (int32_t i = 0; i < read; ++i) {
    uint8_t record[kPropSetBytes] = {};
    const int32_t take = std::min(set_size, kPropSetBytes);
    stream.ReadBuffer(record, take);
    if (set_size > take) stream.Seek(set_size - take, TSeekOrigin::Current);
    TPropSet& set = PropSets[static_cast<size_t>(i)];
    for (size_t w = 0; w < set.size(); ++w) {
      set[w] = uint32_t(record[w * 4]) | uint32_t(record[w * 4 + 1]) << 8 | uint32_t(record[w * 4 + 2]) << 16 |
               uint32_t(record[w * 4 + 3]) << 24;
    }
  }
  stream.Seek(static_cast<int64_t>(set_count - read) * set_size, TSeekOrigin::Current);
  const int32_t count = ReadStreamInteger(stream);
  if (count < 0 || count > stream.Remaining() / kMinCommandSize) RaisePageCorrupt(*this);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t code = ReadStreamByte(stream);
    std::unique_ptr<TCommand> command = CreateCommand(*this, code);
    command->LoadFromStream(stream);
    Commands.Add(std::move(command));
  }
}

}  // namespace kova
