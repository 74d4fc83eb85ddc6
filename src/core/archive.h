// Game archives: a directory of named entries followed by their data, in one file (with the pieces
// it continues in), in a program file (appended), split into a data file and a ".ext" directory
// file, or in a program resource. The game data ("game.dat") and the save file ("save.dat") use
// this container.
//
// Directory layout (little-endian) at its position D:
//   "vf" + int32 version (100, 101, 102; absent in version 0, which begins with the count)
//   int32 N
//   N names: int32 length + bytes (from version 100 XORed with the name keystream)
//   N + 1 offsets from D: uint32 before 101, int64 from 101 (XORed with the offset keystream from
//     version 100; the 8-byte form with the keystream value sign-extended); the last one marks the
//     end of the data
//   from 101: N stored flags (1 byte), N int32 file ages, N uint32 CRCs
//   from 102: N CRC-of-source flags (1 byte)
// Writing produces version 102. Entries of the archive being rewritten are copied as their stored
// bytes, with their flags, time and CRC; only entries added from memory or loose files are
// compressed by the writer.
//
// Host paths and game names: an archive is opened from a HOST path (the file system's own bytes,
// normally UTF-8). Its Folder is a host folder ending in "/". Entry names are Shift-JIS game names
// with "\" between folders; loose files below Folder are found through ResolveHostPath
// (core/host_path.h), whatever their case and name encoding on disk, with the directory listings
// of the collection's owner (HostNames).
//
// Every directory read is validated: counts and name lengths within the bytes left, offsets
// non-decreasing and inside the archive. A corrupt directory raises EReadError
// ("%s:アーカイブが壊れています"); truncated entry data raise EReadError; bad zlib data raise
// EZDecompressionError. Nothing is ever read out of bounds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/hash.h"
#include "core/host_path.h"
#include "core/range_stream.h"
#include "core/stream.h"

namespace kova::plat {
class IFileCalls;
}

namespace kova {

class TVrFileCollection;
class TResourceModule;

// The name of the end marker that follows the last entry of a loaded archive. It keeps the end of
// the data and is invisible to every lookup by name; it is never written as an entry.
inline constexpr std::string_view kVrEofName = "\\EOF\\";

// Entries of fewer bytes than this are compressed when written; larger ones are stored.
inline constexpr int64_t kVrCompressLimit = 0x500000;

// The version the writer produces.
inline constexpr int32_t kVrArchiveVersion = 102;

// What TVrFile::WriteData wrote for an entry: the directory fields of the new archive.
struct TVrWritten {
  int64_t Size = 0;    // bytes written
  bool Stored = false;
  int32_t FileAge = 0;
  uint32_t Crc = 0;
  bool CrcOfSource = false;  // true when Crc is over the contents, false when over the bytes written
};

// Raised while writing when the stored bytes of an entry of the archive being rewritten cannot be
// read from its data (they end early, the file shrank, the disk fails). The message is the read
// error's; the entry is named so that the caller can leave it out and write the rest.
class EVrUnreadableEntry : public EReadError {
 public:
  EVrUnreadableEntry(std::string message, std::string entry)
      : EReadError(std::move(message)), entry_(std::move(entry)) {}
  const std::string& Entry() const noexcept { return entry_; }

 private:
  std::string entry_;
};

// One entry of an archive. Its name is the item name (a Shift-JIS game name).
class TVrFile : public THashCollectionItem {
 public:
  // Position of the entry's stored bytes in the archive's data stream.
  int64_t Offset = 0;
  // The contents of an entry added from memory (TVrFileCollection::AddData), else null. Writing
  // never changes it.
  std::unique_ptr<TMemoryStream> Data;
  // Number of stored bytes.
  int64_t Size = 0;
  // True: the stored bytes are the contents; false: they are the zlib form of the contents.
  bool Stored = false;
  // DOS date-time of the loose file the entry was written from; kept for rewritten entries.
  int32_t FileAge = 0;
  // CRC-32 over the contents (CrcOfSource) or over the stored bytes.
  uint32_t Crc = 0;
  bool CrcOfSource = false;

  // The archive holding the entry (nullptr before it is added).
  TVrFileCollection* Archive() const;

  // Writes the entry's data at the target's position and describes what was written. Sources, in
  // order: Data; the loose file Folder + name; the entry's own stored bytes in its archive, copied
  // as they are (never inflated) with the entry's Stored, FileAge, Crc and CrcOfSource. The entry
  // itself is not changed (its Offset, Size and Stored keep describing where its contents are
  // read from, so the same collection can be written again). Raises when the source cannot be
  // read in full (EVrUnreadableEntry for the archive's own bytes) or the target refuses bytes.
  TVrWritten WriteData(TStream& target) const;

  // Whether a loose file of this entry's name is compressed when written. `file` is the file's
  // contents; it may be read (a layered picture is probed), and is positioned at 0 afterwards.
  //  - ".WXA": only when the picture holds uncompressed data (WexaIsUncompressed), any size;
  //  - an extension found in ".WAV.WMA.OGG.MPG.MPEG.WMV.ASF.DAT." (substring search): never;
  //  - else: when the file is smaller than kVrCompressLimit.
  bool ShouldCompress(TStream& file) const;

  std::string ClassName() const override { return "TVrFile"; }
};

// Where the directory of an archive file stands.
enum class TVrPlacement {
  // Chosen from the file: the extension ".exe" or ".scr" (any case) means Appended; else a file of
  // the same name with the extension ".ext" beside it means Sidecar; else Plain.
  Auto,
  // The directory at byte 0 of the file.
  Plain,
  // The file ends with the int32 directory position D and the two bytes "kv" (an archive appended
  // to a program file). Our own program has no ".exe" extension, so the shell asks for this.
  Appended,
  // The directory in the file with the extension ".ext" beside it (read whole, D = 0); the data in
  // the archive file itself.
  Sidecar,
};

// The progress event of SaveToStream: called before an entry is written (bytes 0) and after it
// (bytes = the entry's stored size). Setting `cancel` stops the writing.
using TVrProgressEvent = std::function<void(TVrFileCollection& sender, TVrFile& entry,
                                            int64_t bytes, int32_t index, int32_t count,
                                            bool& cancel)>;

// Loads a foreign resource module by name (no code is ever loaded: a module is a table of named
// blobs). Returns nullptr when there is no such module.
using TVrModuleLoader =
    std::function<std::shared_ptr<const TResourceModule>(const std::string& module_name)>;

// Where OpenResource(module_name, ...) finds its modules. The owner of a collection (the file
// manager) hands over its own; a collection on its own has the program's module and no loader.
struct TVrModules {
  // The program's own module; null: the blobs compiled into the program (ProgramResources).
  std::shared_ptr<const TResourceModule> program;
  // Foreign modules by name; none: no foreign module is found.
  TVrModuleLoader loader;
};

class TVrFileCollection : public THashCollectionOf<TVrFile> {
 public:
  TVrFileCollection();
  ~TVrFileCollection() override;

  // --- Opening (each empties the archive and closes its stream first) ---

  // OpenEx(host_path, false).
  void Open(const std::string& host_path) { OpenEx(host_path, false); }
  // FileName := host_path. When the file exists, Folder := its folder and the directory is loaded
  // as placed. When it does not: with as_archive false, the path is taken for a folder of loose
  // files (Folder := host_path + "/"); with as_archive true, Folder := the path's folder. A missing
  // file is no error: the archive then has no entries and no stream.
  // Raises EFOpenError when the file (or one of its pieces) exists but cannot be opened, and
  // EReadError for a corrupt directory (the archive is left empty, without stream).
  void OpenEx(const std::string& host_path, bool as_archive,
              TVrPlacement placement = TVrPlacement::Auto);
  // An archive in a resource: the directory at the resource's byte 0. An empty module name, or
  // the program's own file name (full path or base name, any case), means the program's own
  // resources (Modules.program); any other name goes through Modules.loader, and when it has no
  // such module the archive stays empty and nothing is raised. An empty or missing resource
  // raises EReadError "リソースが見つかりません".
  void OpenResource(const std::string& module_name, const std::string& resource_name,
                    const std::string& resource_type);
  // The same over a given module (kept alive by the archive and by its range streams).
  void OpenResource(std::shared_ptr<const TResourceModule> module,
                    const std::string& resource_name, const std::string& resource_type);
  // An archive held in any stream (taken over), directory at byte 0.
  void OpenStream(std::unique_ptr<TStream> stream);
  // Empties the archive, closes its stream and drops its module; Folder and FileName stay.
  void Close();

  // Reads a directory at the stream's position (offsets counted from there) into this archive,
  // replacing its entries. Entry data are read later from the archive's own stream (set by the
  // opening operations, OpenStream included), so offsets are checked against that stream's size
  // when there is one, else against `stream`'s. Raises EReadError on a corrupt or truncated
  // directory, leaving the archive without entries.
  void LoadDirectory(TStream& stream);

  // --- Entries ---

  // Appends an entry with that name (written from the loose file Folder + name, or from the
  // entry's own bytes when rewriting).
  TVrFile* Add(std::string_view name);
  // Appends an entry with an empty Data stream for the caller to fill.
  TVrFile* AddData(std::string_view name);
  // Removes every entry of that name (any case); nothing when there is none.
  void Delete(std::string_view name);
  using THashCollection::Delete;  // Delete(index)
  // Entry i (the end marker included, as the last entry of a loaded archive).
  TVrFile* Files(int32_t i) const { return Items(i); }
  // Lookups by name (any case) never find the end marker.
  int32_t IndexOf(std::string_view name) const override;
  TVrFile* FindItem(std::string_view name) const;
  // Number of entries without the end marker.
  int32_t EntryCount() const;

  // --- Reading ---

  // The contents of a file into dest, positioned at 0 afterwards (a memory stream is emptied
  // first): the loose file Folder + name when it exists and is not the archive file itself, else
  // the entry (inflated when compressed; an empty entry gives nothing; an entry added with
  // AddData gives its Data). Raises EFOpenError "%s:ファイルがありません" when the name is
  // neither. On any error a memory dest is left empty.
  void ReadFile(TStream& dest, std::string_view name);
  // The contents of an entry of this archive written at dest's position (no loose-file lookup,
  // dest not repositioned). Stored entries are copied and compressed ones inflated in blocks, so
  // a large entry is never held whole in memory unless dest is a memory stream. An entry with
  // Data gives its Data. Raises EReadError when fewer than Size bytes can be read,
  // EZDecompressionError on bad zlib data, EFOpenError when the archive has no stream. A memory
  // dest gets back its old size on failure.
  void ReadEntry(TStream& dest, const TVrFile& entry);
  // A read-only window onto an entry's contents, or nullptr when the name is not an entry or the
  // archive has no stream. A stored entry is read in place (over its own handle on the archive
  // file, or over the archive's own resource); a compressed entry is inflated into memory first,
  // so that the window always holds the contents.
  std::unique_ptr<TRangeStream> OpenRange(std::string_view name);

  // --- Writing ---

  // Writes the archive in version 102 from position 0 of `stream`, offsets from 0. Returns false
  // when OnProgress cancelled (the stream then holds a partial archive). Raises when an entry
  // cannot be read or written. `stream` must not be the archive's own data stream (EWriteError).
  bool SaveToStream(TStream& stream);
  // Saves the archive to a host file safely: the archive is written to a new file beside the
  // target (created exclusively), flushed to disk and renamed over the target; stale pieces of
  // the old target (".001", ...) are removed and the folder is flushed. When the target is the
  // archive's own file, its stream is closed only after the write succeeded and the archive is
  // reopened from the new file (so entries are read from the new offsets). On a cancel (false)
  // or any error the target is left as it was and the new file is removed. The writes, the flush
  // and the rename go through `calls` (the system's when none is given).
  bool SaveToFile(const std::string& host_path, plat::IFileCalls* calls = nullptr);
  // SaveToFile that never lets one entry keep the others from being saved: an entry whose stored
  // bytes cannot be read any more is left out, and when `host_path` is the file the archive was
  // opened from (FileName), that old file is kept as `host_path` + ".bad" (replacing an older
  // one) before the new file takes its name. When the save fails anyway, the old file gets
  // its name back. Returns the names of the entries left out (most often none). Raises as
  // SaveToFile; after a cancel by OnProgress the old file keeps its name.
  std::vector<std::string> SaveKeepingUnreadable(const std::string& host_path, plat::IFileCalls* calls = nullptr);

  // --- State ---

  // The host folder of loose files that take precedence over entries; ends in "/" when not empty.
  std::string Folder;
  // The host path the archive was opened from (for a resource archive: the resource name).
  std::string FileName;
  // Called around each entry while writing.
  TVrProgressEvent OnProgress;

  // The archive's data stream, or nullptr (a missing file, a folder, an unopened archive).
  TStream* Stream() const { return stream_.get(); }
  bool HasStream() const { return stream_ != nullptr; }
  // True for an archive opened from a resource.
  bool IsResource() const { return module_ != nullptr; }
  // The module of a resource archive (nullptr otherwise).
  const std::shared_ptr<const TResourceModule>& Module() const { return module_; }

  // The modules OpenResource(module_name, ...) looks in.
  TVrModules Modules;

  // The directory listings loose names are resolved with: the collection's own until its owner
  // lends it one (which must outlive the collection).
  THostPathCache& HostNames() const { return *host_names_; }
  void UseHostNames(THostPathCache& cache) { host_names_ = &cache; }

  // The host path of the loose file of `name` below Folder, unless that is the archive file;
  // nothing when there is no such file.
  std::optional<std::string> LooseFilePath(std::string_view name) const;

 private:
  void ResetArchive();
  void LoadPlaced(const std::string& host_path, TVrPlacement placement);
  // Reads a directory at the position of `dir`; entry data must end within `data_size` bytes of
  // the data stream. Builds the entries only when the whole directory is valid.
  void ReadDirectory(TStream& dir, int64_t data_size);
  [[noreturn]] void RaiseCorrupt() const;

  mutable THostPathCache own_host_names_;
  THostPathCache* host_names_ = &own_host_names_;
  std::shared_ptr<TStream> stream_;
  std::shared_ptr<const TResourceModule> module_;
  std::string resource_name_;
  std::string resource_type_;
  // The host path of the data file (FileName for file archives) and its identity on disk.
  std::string data_path_;
  uint64_t data_dev_ = 0;
  uint64_t data_ino_ = 0;
  // The version of the directory loaded last (entries of versions before 101 carry no CRC).
  int32_t loaded_version_ = kVrArchiveVersion;

  friend class TVrFile;
};

// CRC-32 (reflected polynomial 0xEDB88320, initial and final XOR 0xFFFFFFFF) of a whole stream,
// read from position 0 in blocks of 1 MiB. The stream is left at its end.
uint32_t StreamCrc32(TStream& stream);
// The same CRC over bytes in memory; `crc` continues an earlier value (0 to start).
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// The DOS date-time (local time) of a host file's modification time, or 0 when it cannot be
// read.
int32_t HostFileAge(const std::string& host_path);

}  // namespace kova
