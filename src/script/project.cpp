#include "script/project.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

#include "core/archive.h"
#include "core/disc_lookup.h"
#include "core/errors.h"
#include "core/file_manager.h"
#include "core/host_path.h"
#include "core/record_io.h"
#include "core/replace_file.h"
#include "core/sjis.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "platform/window/dialogs.h"
#include "platform/files/dirs.h"
#include "platform/files/instance.h"
#include "platform/files/optical_drives.h"
#include "platform/text/text_codec.h"
#include "script/call_man.h"
#include "script/db_manager.h"
#include "script/history_port.h"
#include "script/param_collection.h"
#include "script/scene_port.h"
#include "script/script_ports.h"

namespace kova {

namespace {

std::string HostFolder(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// One variable declaration of the project file's list.
struct TDeclared {
  uint8_t type = 0;
  std::string name;
  int32_t int_value = 0;
  long double float_value = 0;
  uint8_t flag_value = 0;
  std::string str_value;
};

TDeclared ReadDeclaration(TStream& stream) {
  TDeclared d;
  d.type = ReadStreamByte(stream);
  d.name = ReadStreamString(stream);
  switch (d.type) {
    case PT_INT: d.int_value = ReadStreamInteger(stream); break;
    case PT_FLOAT: d.float_value = ReadStreamExtended(stream); break;
    case PT_BOOL: d.flag_value = ReadStreamByte(stream); break;
    case PT_STR: d.str_value = ReadStreamString(stream); break;
    default: break;  // other codes carry no value
  }
  return d;
}

// The head of a project file up to its variable list, read and kept by the caller or dropped.
struct TProjectHead {
  int32_t version = 0;
  std::string title;
  int32_t width = 0, height = 0, value1 = 0, value2 = 0;
  std::string start_page, key_text;
  int32_t picture_key = 0;
  std::optional<uint8_t> status_saving, frame_pacing;
  std::optional<std::string> media_extensions;
  std::string disc_prompt, quit_message;
};

// Reads the fields after the version.
void ReadHead(TStream& stream, TProjectHead& head) {
  head.title = ReadStreamString(stream);
  head.width = ReadStreamInteger(stream);
  head.height = ReadStreamInteger(stream);
  head.value1 = ReadStreamInteger(stream);
  head.value2 = ReadStreamInteger(stream);
  head.start_page = ReadStreamString(stream);
  head.key_text = ReadStreamString(stream);
  head.picture_key = ReadStreamInteger(stream);
  if (head.version >= 104) head.status_saving = ReadStreamByte(stream);
  if (head.version >= 106) head.frame_pacing = ReadStreamByte(stream);
  if (head.version >= 109) head.media_extensions = ReadStreamString(stream);
  head.disc_prompt = ReadStreamString(stream);
  head.quit_message = ReadStreamString(stream);
}

// The variable count of the list, refused when the bytes left cannot hold that many
// declarations (each takes at least a type byte and a name length).
int32_t ReadVariableCount(TStream& stream) {
  const int32_t count = ReadStreamInteger(stream);
  if (count < 0 || count > stream.Remaining() / 5) Raise<EReadError>(TMsg::StreamReadError);
  return count;
}

// A slot number: an optional "-" and decimal digits, nothing else.
std::optional<int32_t> ParseSlot(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int32_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') return std::nullopt;
  auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last) return std::nullopt;
  return value;
}

// The first `count` bytes of an entry's contents (fewer when it is shorter), inflating no more of
// a compressed entry than that: listing the slots reads only the head of every save.
std::string EntryHead(TVrFileCollection& archive, const TVrFile& file, size_t count) {
  TStream* stream = archive.Stream();
  if (!stream || file.Size <= 0) return {};
  std::string out;
  stream->SetPosition(file.Offset);
  if (file.Stored) {
    out.resize(static_cast<size_t>(std::min<int64_t>(file.Size, static_cast<int64_t>(count))));
    stream->ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
    return out;
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Raise<EZDecompressionError>(TMsg::DecompressError);
  struct TEnd {
    z_stream& z;
    ~TEnd() { inflateEnd(&z); }
  } end{z};
  out.resize(count);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(count);
  uint8_t in[4096];
  int64_t left = file.Size;
  while (z.avail_out > 0 && left > 0) {
    const int64_t n = std::min<int64_t>(left, sizeof in);
    stream->ReadBuffer(in, n);
    left -= n;
    z.next_in = in;
    z.avail_in = static_cast<uInt>(n);
    const int rc = inflate(&z, Z_NO_FLUSH);
    if (rc == Z_STREAM_END) break;
    if (rc != Z_OK && rc != Z_BUF_ERROR) Raise<EZDecompressionError>(TMsg::DecompressError);
  }
  out.resize(count - z.avail_out);
  return out;
}

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SjisSameText(s.substr(0, prefix.size()), prefix);
}

// Where the player's files go: the first parameter's folder, else the program's, when it can be
// written; else the per-user folder named after the game's instance name (made from the same
// folder).
plat::TGameUserFolder MakeUserFolder(const TLaunchInfo& launch) {
  std::string folder = launch.Params.empty() ? launch.ProgramFolder : launch.Params.front();
  if (folder.empty()) folder = ".";  // the current folder, never the root
  const std::string instance = plat::MakeInstanceName(plat::Utf8ToCp932(folder));
  if (launch.GameFolderWritable) return plat::TGameUserFolder(folder, instance, *launch.GameFolderWritable);
  return plat::TGameUserFolder(folder, instance);
}

std::string GameEntryName(int32_t slot) { return std::string(kGameEntryPrefix) + std::to_string(slot); }

// The status entry's version: the three digits after "Status", else 0 (the data then begin at the
// entry's first byte).
int32_t ReadStatusTag(TStream& entry) {
  char tag[9] = {};
  int32_t version = 0;
  if (entry.Read(tag, 9) == 9 && std::string_view(tag, 6) == "Status") {
    const auto [end, ec] = std::from_chars(tag + 6, tag + 9, version);
    if (ec != std::errc() || end != tag + 9) Raise<EReadError>(TMsg::StreamReadError);
    return version;
  }
  entry.SetPosition(0);
  return 0;
}

bool SameBytes(TVrFileCollection& save, const TVrFile& file, const TMemoryStream& contents) {
  TMemoryStream old;
  save.ReadEntry(old, file);
  return old.Size() == contents.Size() && std::equal(old.Bytes().begin(), old.Bytes().end(), contents.Bytes().begin());
}

}  // namespace

void AddLaunchSources(TVrFileManager& files, const TLaunchInfo& launch) {
  if (launch.Params.empty()) return;
  files.SetFolder(launch.Params.front());
  for (const std::string& param : launch.Params) {
    if (std::optional<std::string> archive = ResolveHostPath(files.HostNames(), HostFolder(param), "game.dat")) {
      files.AddArchive(*archive);
    }
  }
}

TProject::TProject(TLaunchInfo launch, TCallMan& interpreter, const TScriptPorts& ports)
    : launch_(std::move(launch)),
      user_folder_(MakeUserFolder(launch_)),
      interpreter_(interpreter),
      store_(interpreter.Store()),
      ports_(ports),
      files_(ports.files),
      services_(ports.platform) {
  try {
    Open();
  } catch (const EKovaError& e) {
    // A corrupt project file, a bad variable name, a start page that cannot be loaded...: the
    // game cannot start; its users see the message as the start-up of the player shows it.
    Fail(TProjectState::Failed, e.Message(), true, MsgText(TMsg::CaptionWarning));
  } catch (const std::bad_alloc&) {
    Fail(TProjectState::Failed, MsgText(TMsg::OutOfMemory), true, MsgText(TMsg::CaptionWarning));
  }
}

TProject::~TProject() {
  // What lasts beyond a play is kept when the game closes; a failure cannot be reported any more
  // and leaves the save file as it was. A game that never started (a folder without a game, an
  // unreadable project) has nothing to keep and leaves no file behind.
  if (!Started()) return;
  try {
    SaveStatus();
  } catch (const EKovaError&) {
  } catch (const std::bad_alloc&) {
  }
}

plat::TMessageAnswer TProject::ShowBox(std::string_view text, std::string_view caption,
                                       plat::TMessageButtons buttons) {
  plat::TMessageBox box;
  box.owner = services_.window->DialogOwner();
  box.title = caption;
  box.text = text;
  box.buttons = buttons;
  return services_.dialogs->ShowMessage(box);
}

void TProject::UpdateDiscPrompt() { disc_context_ = {InstallSet.GameKey, DiscPrompt, QuitMessage, Title}; }

void TProject::Fail(TProjectState state, std::string text, bool show, const std::string& caption) {
  state_ = state;
  open_error_ = std::move(text);
  // Nothing of the game can run: the session ends it instead of idling.
  interpreter_.Stop(open_error_);
  if (show) ShowBox(open_error_, caption);
}

// Open, in order: defaults, status entry of the save file, data sources, project file, its
// variables and folder list, the defaults entry, the interpreter on the start page.
void TProject::Open() {
  DiscPrompt = MsgText(TMsg::DiscPromptDefault);
  QuitMessage = MsgText(TMsg::QuitMessageDefault);
  interpreter_.Stop();
  // New save files of players that were killed while saving (the folder is not made for this).
  if (!user_folder_.Folder().empty()) RemoveStaleReplacements(user_folder_.Folder() + std::string(kSaveFileName));
  ListSaves();
  PendingLoadSlot = -1;
  PendingSaveSlot = -1;
  StatusSaving = 1;
  FramePacing = 1;
  MediaExtensions = "wav.wma.ogg";

  ReadStatus();
  Title = MsgText(TMsg::CaptionInfo);

  const bool config = !launch_.Params.empty() && SjisSameText(launch_.Params.front(), "/config");
  if (!config && !OpenArchive()) {
    state_ = TProjectState::NoData;
    return;
  }
  if (!ReadProject()) return;
  LoadDefaults();
  StartInterpreter();
}

bool TProject::ReadProject() {
  TMemoryStream stream;
  try {
    files_.LoadFile(stream, kProjectFileName);
  } catch (const EKovaError& e) {
    Fail(TProjectState::Unreadable, e.Message(), false, {});
    return false;
  }
  if (stream.Size() == 0) {
    Fail(TProjectState::Empty, MsgText(TMsg::ProjectMissing), true, MsgText(TMsg::CaptionWarning));
    return false;
  }
  version_ = ReadStreamInteger(stream);
  // Files older than the oldest layout would be misread field by field: refused like newer ones.
  if (version_ > kProjectMaxVersion || version_ < kProjectMinVersion) {
    Fail(TProjectState::BadVersion, Format(MsgText(TMsg::ProjectBadVersion).c_str(), version_), false, {});
    return false;
  }
  ReadProjectFields(stream);
  interpreter_.Resume();
  return true;
}

void TProject::ReadProjectFields(TStream& stream) {
  TProjectHead head;
  head.version = version_;
  ReadHead(stream, head);
  Title = std::move(head.title);
  services_.window->SetTitle(Title);
  ScreenWidth = head.width;
  ScreenHeight = head.height;
  FullScreenWidth = head.value1;
  FullScreenHeight = head.value2;
  StartPage = std::move(head.start_page);
  KeyText = std::move(head.key_text);
  PictureKey = head.picture_key;
  if (head.status_saving) StatusSaving = *head.status_saving;
  FramePacing = head.frame_pacing.value_or(0);
  MediaExtensions = head.media_extensions.value_or(".wav.wma.ogg.mid");
  DiscPrompt = std::move(head.disc_prompt);
  QuitMessage = std::move(head.quit_message);
  UpdateDiscPrompt();

  const int32_t count = ReadVariableCount(stream);
  for (int32_t i = 0; i < count; ++i) {
    TDeclared d = ReadDeclaration(stream);
    // A code of no value type declares nothing: a variable without a value would be unusable.
    if (d.type < PT_INT || d.type > PT_STR) continue;
    if (store_.FindParam(d.name)) continue;  // a status value read before stays
    TParamCollectionItem* item = store_.Declare(d.name, d.type, TVarScope::Status);
    switch (d.type) {
      case PT_INT: item->SetInt(d.int_value); break;
      case PT_FLOAT: item->SetFloat(d.float_value); break;
      case PT_BOOL: item->SetFlag(d.flag_value != 0); break;
      default: item->SetStr(d.str_value); break;
    }
  }

  const int64_t rest = stream.Remaining();
  std::string tail(static_cast<size_t>(rest), '\0');
  stream.ReadBuffer(tail.data(), rest);
  FolderDisks.SetText(tail);
}

void TProject::LoadDefaults() {
  if (!files_.FileExists(kProjectDefaultsName)) return;
  TMemoryStream stream;
  files_.LoadFile(stream, kProjectDefaultsName);
  TProjectHead head;
  head.version = ReadStreamInteger(stream);
  if (head.version > kProjectMaxVersion || head.version < kProjectMinVersion) return;
  ReadHead(stream, head);
  const int32_t count = ReadVariableCount(stream);
  for (int32_t i = 0; i < count; ++i) ReadDeclaration(stream);
  const int32_t pairs = ReadStreamInteger(stream);
  if (pairs < 0 || pairs > stream.Remaining() / 8) Raise<EReadError>(TMsg::StreamReadError);
  for (int32_t i = 0; i < pairs; ++i) {
    std::string folder = ReadStreamString(stream);
    const int32_t disk = ReadStreamInteger(stream);
    FolderDisks.AddFolder(std::move(folder), disk);
  }
}

void TProject::StartInterpreter() {
  if (!files_.FileExists(StartPage)) {
    Fail(TProjectState::NoStartPage, MsgText(TMsg::StartPageMissing), true, MsgText(TMsg::CaptionWarning));
    return;
  }
  interpreter_.Start(StartPage);
  state_ = TProjectState::Started;
}

void TProject::Step() {
  if (Started()) interpreter_.Step();
}

bool TProject::FileExists(std::string_view name) {
  if (!name.empty() && files_.FileExists(name)) return true;
  const int32_t disk = FolderDisks.DiskOf(name);
  if (disk <= 0) return false;
  // Media files are never fetched from a disc: their players cope with a missing file.
  const std::string ext = SjisLowerCase(GameFileExtension(name)) + ".";
  const std::string media = SjisLowerCase(MediaExtensions) + ".";
  if (media.find(ext) != std::string::npos) return false;
  return AskDisk(files_, disk, disc_context_, services_);
}

std::string TProject::SaveFileName() const { return user_folder_.ReadPath(kSaveFileName); }

std::string TProject::SaveWritePath() const { return user_folder_.WritePath(kSaveFileName); }

bool TProject::SearchDiscs(const std::string& game_key) {
  const std::vector<std::string> archives = FindDiscArchives(files_, game_key, std::nullopt);
  if (archives.empty()) return false;
  if (!ArchiveOpen(files_, archives.front())) files_.AddArchive(archives.front());
  return true;
}

bool TProject::OpenArchive() {
  const std::string base = HostFolder(launch_.ProgramFolder);
  if (!base.empty() && HostFileExists(files_.HostNames(), base, "install.dat") && files_.Folder().empty()) {
    files_.SetFolder(base);
  }
  if (!files_.FileExists("install.dat")) {
    ShowBox(MsgText(TMsg::ReinstallGame), MsgText(TMsg::CaptionInfo));
    open_error_ = MsgText(TMsg::ReinstallGame);
    return false;
  }
  {
    TMemoryStream stream;
    files_.LoadFile(stream, "install.dat");
    InstallSet.LoadFromStream(stream);
  }
  UpdateDiscPrompt();
  const bool complete = InstallSet.Complete != 0;

  const std::optional<std::string> game =
      base.empty() ? std::nullopt : ResolveHostPath(files_.HostNames(), base, "game.dat");
  if (game) {
    if (!ArchiveOpen(files_, *game)) files_.AddArchive(*game);
    if (complete) return true;
  } else if (complete && (files_.ArchiveCount() > 0 || !files_.Folder().empty())) {
    // A game whose files lie loose in its folder has its data there as surely as in an archive.
    return true;
  }

  for (;;) {
    if (SearchDiscs(InstallSet.GameKey)) return true;
    if (ShowBox(MsgText(TMsg::InsertGameDisc), MsgText(TMsg::CaptionInfo), plat::TMessageButtons::OkCancel) ==
        plat::TMessageAnswer::Ok) {
      continue;
    }
    if (ShowBox(QuitMessage, Title, plat::TMessageButtons::OkCancel) == plat::TMessageAnswer::Ok) {
      open_error_ = QuitMessage;
      return false;
    }
  }
}

void TProject::ReadStatus() {
  const std::string path = SaveFileName();
  if (plat::PathKind(path) != plat::TPathKind::File) return;
  // An unreadable save file holds no status: the game starts as on a first run.
  try {
    TVrFileCollection save;
    save.OpenEx(path, true, TVrPlacement::Plain);
    const TVrFile* file = save.FindItem(kStatusEntryName);
    if (!file) return;
    TMemoryStream entry;
    save.ReadEntry(entry, *file);
    entry.SetPosition(0);
    ReadStatusEntry(entry);
  } catch (const EKovaError&) {
  }
}

// The status entry after its tag: the status variables, the read marks, from 101 the image cache
// mode behind "@CGDither", and the status tables (from their own first version).
template <class IO, class P>
void TProject::TransferStatus(IO& io, P& p) {
  const TScriptPorts& ports = p.ports_;
  if constexpr (IO::kLoading) {
    p.store_.LoadStatus(io.Stream(), io.Version());
    ports.history.LoadReadMarks(io.Stream(), io.Version());
  } else {
    p.store_.SaveStatus(io.Stream());
    ports.history.SaveReadMarks(io.Stream());
  }
  if (io.Since(101)) io.Bool(ports.scene.CGDither(), [&](auto v) { ports.scene.SetCGDither(v); });
  if constexpr (IO::kLoading) {
    ports.tables.LoadStatusTables(io.Stream(), io.Version());
  } else {
    ports.tables.SaveStatusTables(io.Stream());
  }
}

void TProject::ReadStatusEntry(TStream& entry) {
  TRecordLoader io(entry, ReadStatusTag(entry));
  TransferStatus(io, *this);
}

void TProject::WriteStatus(TStream& entry) const {
  const std::string tag = Format("Status%.3d", kStatusSaveVersion);
  entry.WriteBuffer(tag.data(), static_cast<int64_t>(tag.size()));
  TRecordSaver io(entry, kStatusSaveVersion);
  TransferStatus(io, *this);
}

void TProject::ListSaves() {
  SlotList.Clear();
  const std::string path = SaveFileName();
  if (plat::PathKind(path) != plat::TPathKind::File) return;
  TVrFileCollection save;
  try {
    save.Open(path);
  } catch (const EKovaError&) {
    return;  // an unreadable save file lists no slots
  }
  for (int32_t i = 0; i < save.EntryCount(); ++i) {
    const TVrFile& file = *save.Files(i);
    const std::string& name = file.Name();
    if (!StartsWithText(name, kGameEntryPrefix)) continue;
    const std::optional<int32_t> slot = ParseSlot(std::string_view(name).substr(kGameEntryPrefix.size()));
    if (!slot) continue;
    // The version (not tested here) and the caption's length, then the caption. An entry too
    // damaged to give its caption is left out; the others are listed.
    try {
      std::string head = EntryHead(save, file, 8);
      TSpanStream fields({reinterpret_cast<const uint8_t*>(head.data()), head.size()});
      ReadStreamInteger(fields);
      const int32_t length = ReadStreamInteger(fields);
      if (length < 0 || length > file.Size * 1032) Raise<EReadError>(TMsg::StreamReadError);
      head = EntryHead(save, file, 8 + static_cast<size_t>(length));
      TSpanStream caption({reinterpret_cast<const uint8_t*>(head.data()), head.size()});
      ReadStreamInteger(caption);
      SetSaveCaption(*slot, ReadStreamString(caption));
    } catch (const EKovaError&) {
    }
  }
}

std::string TProject::GetSaveCaption(int32_t slot) const {
  const int i = SlotList.IndexOfObject(reinterpret_cast<void*>(static_cast<intptr_t>(slot)));
  return i < 0 ? std::string() : SlotList.Strings(i);
}

void TProject::SetSaveCaption(int32_t slot, std::string caption) {
  void* object = reinterpret_cast<void*>(static_cast<intptr_t>(slot));
  const int i = SlotList.IndexOfObject(object);
  if (i < 0) {
    SlotList.AddObject(std::move(caption), object);
  } else {
    SlotList.SetString(i, std::move(caption));
  }
}

// ---- Saving and loading games ----

void TProject::RequestSave(int32_t slot, std::string page, std::string caption, int32_t index) {
  PendingSaveSlot = slot;
  PendingSavePage = std::move(page);
  PendingSaveCaption = std::move(caption);
  PendingSaveIndex = index;
}

void TProject::RequestLoad(int32_t slot) { PendingLoadSlot = slot; }

bool TProject::ServeRequests() {
  bool loaded = false;
  if (PendingLoadSlot != -1) {
    const int32_t slot = std::exchange(PendingLoadSlot, -1);
    LoadGame(slot);
    loaded = true;
  }
  if (PendingSaveSlot != -1) {
    const int32_t slot = std::exchange(PendingSaveSlot, -1);
    const std::string page = std::move(PendingSavePage);
    const std::string caption = std::move(PendingSaveCaption);
    PendingSavePage.clear();
    PendingSaveCaption.clear();
    try {
      DoSave(slot, page, caption, PendingSaveIndex);
    } catch (...) {
      ++failed_saves_;
      throw;
    }
  }
  return loaded;
}

void TProject::OpenSaveArchive(TVrFileCollection& save) {
  const std::string path = SaveFileName();
  if (plat::PathKind(path) == plat::TPathKind::File) {
    try {
      save.OpenEx(path, true, TVrPlacement::Plain);
    } catch (const EKovaError&) {
      // A save file that is no archive any more is kept aside, never overwritten: the new file
      // starts empty.
      save.Close();
      if (path == SaveWritePath()) std::rename(path.c_str(), (path + ".bad").c_str());
    }
  }
  // Only the archive's own bytes go into the new file, never loose files beside it.
  save.Folder.clear();
}

void TProject::PutEntry(TVrFileCollection& save, std::string_view name, const TMemoryStream& contents) {
  save.Delete(name);
  TVrFile* file = save.AddData(name);
  file->Data->WriteBuffer(contents.Memory(), contents.Size());
  file->FileAge = 0;
}

bool TProject::StatusWritable() const {
  if (!StatusSaving) return false;
  const std::string path = SaveWritePath();
  if (path.empty()) return false;
  return plat::PathKind(path.substr(0, path.find_last_of('/') + 1)) == plat::TPathKind::Directory;
}

bool TProject::DoSave(int32_t slot, const std::string& page, const std::string& caption, int32_t index) {
  if (caption.empty() || load_failed_) return false;
  TMemoryStream game;
  SaveGame(game, caption, page, index);
  TVrFileCollection save;
  OpenSaveArchive(save);
  PutEntry(save, GameEntryName(slot), game);
  if (StatusWritable()) {
    TMemoryStream status;
    WriteStatus(status);
    PutEntry(save, kStatusEntryName, status);
  }
  const std::string path = SaveWritePath();
  if (path.empty()) Raise<EFCreateError>(TMsg::FileCreateError, std::string(kSaveFileName).c_str());
  WriteSaveArchive(save, path);
  // Listed only once the file holds it.
  SetSaveCaption(slot, caption);
  return true;
}

// The game entry after its version: the head, the scene, the history, the interpreter (loading
// then calls the resume page), the variables and from 123 the game tables.
template <class IO, class P>
void TProject::TransferGame(IO& io, P& p, TGameHead& head) {
  const TScriptPorts& ports = p.ports_;
  io.Str(head.Caption);
  io.Str(head.Page);
  io.Int(head.Index);
  if constexpr (IO::kLoading) {
    ports.scene.LoadScene(io.Stream(), io.Version());
    ports.history.LoadHistory(io.Stream(), io.Version());
  } else {
    ports.scene.SaveScene(io.Stream());
    ports.history.SaveHistory(io.Stream());
  }
  io.Versioned(p.interpreter_);
  if constexpr (IO::kLoading) {
    if (!head.Page.empty()) p.interpreter_.CallResumePage(head.Page, head.Index);
  }
  io.Versioned(p.store_);
  if (io.Since(kDBFirstGameVersion)) {
    if constexpr (IO::kLoading) {
      ports.tables.LoadGameTables(io.Stream(), io.Version());
    } else {
      ports.tables.SaveGameTables(io.Stream());
    }
  }
}

void TProject::SaveGame(TStream& entry, const std::string& caption, const std::string& page, int32_t index) const {
  WriteStreamInteger(entry, kGameSaveVersion);
  TGameHead head{caption, page, index};
  TRecordSaver io(entry, kGameSaveVersion);
  TransferGame(io, *this, head);
}

bool TProject::SaveStatus() {
  if (load_failed_ || !StatusWritable()) return false;
  TMemoryStream status;
  WriteStatus(status);
  TVrFileCollection save;
  OpenSaveArchive(save);
  // A file that holds this very entry already is left alone (a game that closes without having
  // changed what lasts does not rewrite its saves).
  if (const TVrFile* file = save.FindItem(kStatusEntryName); file && save.HasStream()) {
    try {
      if (SameBytes(save, *file, status)) return true;
    } catch (const EKovaError&) {
      // a damaged entry is replaced
    }
  }
  PutEntry(save, kStatusEntryName, status);
  WriteSaveArchive(save, SaveWritePath());
  return true;
}

void TProject::WriteSaveArchive(TVrFileCollection& save, const std::string& path) {
  // What saves killed before their rename left beside the file goes first.
  RemoveStaleReplacements(path);
  // Entries that cannot be carried over are left out, the old file kept aside.
  save.SaveKeepingUnreadable(path, services_.file_calls);
}

bool TProject::LoadGame(int32_t slot) {
  const std::string path = SaveFileName();
  if (plat::PathKind(path) != plat::TPathKind::File) return false;
  try {
    TVrFileCollection save;
    save.OpenEx(path, true, TVrPlacement::Plain);
    save.Folder.clear();
    const TVrFile* file = save.FindItem(GameEntryName(slot));
    if (!file) return false;
    TMemoryStream entry;
    save.ReadEntry(entry, *file);
    entry.SetPosition(0);
    ReadGame(entry);
  } catch (const EKovaError&) {
    FailLoad();
  } catch (const std::bad_alloc&) {
    FailLoad();
  }
  return true;
}

void TProject::ReadGame(TStream& entry) {
  const int32_t version = ReadStreamInteger(entry);
  // Data newer than this player writes would be misread field by field: refused like older ones.
  if (version < kGameSaveOldestVersion || version > kGameSaveVersion) Raise<EReadError>(TMsg::StreamReadError);
  TGameHead head;  // the caption is not used
  TRecordLoader io(entry, version);
  TransferGame(io, *this, head);
}

void TProject::FailLoad() {
  load_failed_ = true;
  const std::string text = MsgText(TMsg::SaveDataUnusable) + "\r\n" + MsgText(TMsg::SaveDataQuit);
  interpreter_.Stop(text);
  ShowBox(text, MsgText(TMsg::CaptionWarning));
}

}  // namespace kova
