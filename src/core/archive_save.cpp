// Saving an archive to a host file without ever leaving a half-written target (through a
// replacing file). File times as DOS date-times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "core/replace_file.h"
#include "platform/text/text_codec.h"

namespace kova {

namespace {

// The pieces the file at `host_path` continues in: piece n + 1 belongs to it only while piece n
// (the file itself for n = 0) is full, as the big file stream writes them. A file of another
// size beside it ("OUT.001" next to a small "OUT") is someone else's.
std::vector<std::string> PiecesOf(const std::string& host_path) {
  std::vector<std::string> pieces;
  struct stat st {};
  if (::lstat(host_path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return pieces;
  for (int i = 1; st.st_size == TXrBigFileStream::kPieceSize; ++i) {
    std::string piece = TXrBigFileStream::PieceName(host_path, i);
    if (piece == host_path || ::lstat(piece.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) break;
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

}  // namespace

bool TVrFileCollection::SaveToFile(const std::string& host_path, plat::IFileCalls* calls) {
  TReplacingFile out(host_path, calls);
  if (!SaveToStream(out.Stream())) return false;  // the new file goes with `out`

  // Is the target this archive's own file? Its open stream keeps reading the old data until the
  // archive is reopened below, so a failed rename leaves the archive as it was.
  bool own = false;
  if (stream_ && !IsResource() && data_ino_ != 0) {
    struct stat st {};
    own = ::stat(host_path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == data_dev_ &&
          static_cast<uint64_t>(st.st_ino) == data_ino_;
  }
  // Pieces the old target continued in would otherwise extend the new file: those this archive
  // was read across when the target is its own file, and any full-size chain of pieces. Files
  // merely named like pieces stay.
  std::vector<std::string> old_pieces = PiecesOf(host_path);
  if (own) {
    if (const auto* big = dynamic_cast<const TXrBigFileStream*>(stream_.get())) {
      for (int i = static_cast<int>(old_pieces.size()) + 1; i < big->PieceCount(); ++i)
        old_pieces.push_back(big->PieceName(i));
    }
  }
  out.Commit();
  for (const std::string& piece : old_pieces) ::unlink(piece.c_str());

  // Entries of the saved archive are read from the new file from now on.
  if (own) {
    stream_.reset();
    OpenEx(host_path, true, TVrPlacement::Plain);
  }
  return true;
}

std::vector<std::string> TVrFileCollection::SaveKeepingUnreadable(const std::string& host_path,
                                                                 plat::IFileCalls* calls) {
  std::vector<std::string> left_out;
  const std::string kept = host_path + ".bad";
  bool set_aside = false;
  try {
    for (;;) {
      try {
        if (!SaveToFile(host_path, calls) && set_aside) ::rename(kept.c_str(), host_path.c_str());
        return left_out;
      } catch (const EVrUnreadableEntry& e) {
        int32_t i = 0;
        while (i < Count() && Files(i)->Name() != e.Entry()) ++i;
        if (i == Count()) throw;
        // The old file goes aside first: its data stay readable through the archive's open stream.
        // Only the archive's own file is set aside (one it was read from elsewhere stays).
        if (!set_aside && FileName == host_path) {
          if (::rename(host_path.c_str(), kept.c_str()) != 0) throw;
          set_aside = true;
        }
        left_out.push_back(e.Entry());
        Delete(i);
      }
    }
  } catch (...) {
    struct stat st {};
    if (set_aside && ::lstat(host_path.c_str(), &st) != 0) ::rename(kept.c_str(), host_path.c_str());
    throw;
  }
}

int32_t HostFileAge(const std::string& host_path) {
  struct stat st {};
  if (::stat(host_path.c_str(), &st) != 0) return 0;
  struct tm t {};
  time_t when = st.st_mtime;
  if (!::localtime_r(&when, &t)) return 0;
  int year = t.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return static_cast<int32_t>((date << 16) | time);
}

}  // namespace kova
