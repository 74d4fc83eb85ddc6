// kvarc: lists, extracts and packs game archives.
//
//   kvarc list ARCHIVE                 one line per entry, in directory order:
//                                      name (stored Shift-JIS bytes; control bytes and bytes
//                                      that begin no Shift-JIS character as "\xHH") TAB stored
//                                      size TAB stored flag (0/1) TAB CRC-32 (8 lower-case hex
//                                      digits)
//   kvarc extract ARCHIVE NAME OUTFILE the contents of one entry (NAME as stored, or in UTF-8),
//                                      written beside OUTFILE and renamed over it once whole;
//                                      OUTFILE may not be the archive (or its pieces or ".ext")
//   kvarc pack OUT DIR                 a version-102 archive of every regular file below DIR
//                                      (names with "\" between folders, in Shift-JIS);
//                                      symbolic links are skipped with a message, never followed
//   kvarc --help | -h                  this usage on standard output
//
// Errors go to stderr; the exit status is 1 for a failed operation and 2 for bad arguments (an
// unknown option among them: any argument starting with "-" before a "--").
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/archive.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "core/replace_file.h"
#include "core/sjis.h"
#include "platform/text/text_codec.h"

namespace {

using namespace kova;

void Usage(FILE* to) {
  std::fputs("usage: kvarc list ARCHIVE\n"
             "       kvarc extract ARCHIVE NAME OUTFILE\n"
             "       kvarc pack OUT DIR\n"
             "       kvarc --help | -h    show this and end\n"
             "  \"--\" ends the options (for a name starting with \"-\")\n",
             to);
}

[[noreturn]] void Fail(const std::string& utf8_message) { throw std::runtime_error(utf8_message); }

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void OpenArchive(TVrFileCollection& arc, const std::string& path) {
  if (!IsRegularFile(path)) Fail(path + ": no such archive file");
  arc.OpenEx(path, true);
}

// A name given on the command line: as stored, else read as UTF-8.
const TVrFile* FindEntry(const TVrFileCollection& arc, const std::string& name) {
  if (const TVrFile* f = arc.FindItem(name)) return f;
  plat::TConvertResult sjis = plat::ConvertText(name, plat::TCodePage::Utf8, plat::TCodePage::Cp932);
  return sjis.unmapped == 0 ? arc.FindItem(sjis.text) : nullptr;
}

// A stored name made safe for a terminal: Shift-JIS characters as they are; control bytes, DEL
// and bytes that begin no Shift-JIS character as "\xHH".
std::string PrintableName(std::string_view name) {
  std::string out;
  auto escape = [&out](uint8_t b) {
    static const char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[b >> 4];
    out += kHex[b & 15];
  };
  for (size_t i = 0; i < name.size(); ++i) {
    const uint8_t b = uint8_t(name[i]);
    if (IsSjisLeadByte(name[i])) {
      const bool paired = i + 1 < name.size() && uint8_t(name[i + 1]) >= 0x40 && uint8_t(name[i + 1]) <= 0xFC &&
                          uint8_t(name[i + 1]) != 0x7F;
      if (paired) {
        out += name.substr(i, 2);
        ++i;
      } else {
        escape(b);
      }
    } else if (b < 0x20 || b == 0x7F || b == 0x80 || b == 0xA0 || b >= 0xFD) {
      escape(b);
    } else {
      out += char(b);
    }
  }
  return out;
}

int List(const std::string& path) {
  TVrFileCollection arc;
  OpenArchive(arc, path);
  for (int32_t i = 0; i < arc.EntryCount(); ++i) {
    const TVrFile* f = arc.Files(i);
    std::printf("%s\t%lld\t%d\t%08x\n", PrintableName(f->Name()).c_str(), static_cast<long long>(f->Size),
                f->Stored ? 1 : 0, f->Crc);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

bool SameFile(const struct stat& a, const std::string& path) {
  struct stat b {};
  return ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when writing `out_path` would write over the archive's own bytes: the archive file, one of
// the pieces it continues in, or the ".ext" file that may hold its directory (links followed).
bool IsPartOfArchive(const std::string& out_path, const std::string& archive_path) {
  struct stat out {};
  if (::stat(out_path.c_str(), &out) != 0) return false;
  if (SameFile(out, archive_path)) return true;
  for (int i = 1;; ++i) {
    const std::string piece = TXrBigFileStream::PieceName(archive_path, i);
    if (piece == archive_path || !IsRegularFile(piece)) break;
    if (SameFile(out, piece)) return true;
  }
  const size_t slash = archive_path.find_last_of('/');
  const size_t dot = archive_path.find_last_of('.');
  const size_t stem = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : archive_path.size();
  return SameFile(out, archive_path.substr(0, stem) + ".ext");
}

int Extract(const std::string& path, const std::string& name, const std::string& out_path) {
  TVrFileCollection arc;
  OpenArchive(arc, path);
  const TVrFile* entry = FindEntry(arc, name);
  if (!entry) Fail(name + ": no such entry in " + path);
  if (IsPartOfArchive(out_path, path)) Fail(out_path + ": is the archive itself; not written");
  // The entry goes to a new file beside the output; only a whole entry replaces the output.
  TReplacingFile out(out_path);
  arc.ReadEntry(out.Stream(), *entry);  // the entry itself, never a loose file beside the archive
  out.Commit();
  return 0;
}

// The game name of a file below the packed folder: "\" between folders, Shift-JIS. Host names in
// UTF-8 are converted; other names are taken as Shift-JIS bytes already.
std::string GameName(const std::filesystem::path& relative) {
  std::string name;
  for (const auto& part : relative) {
    std::string host = part.string();
    plat::TConvertResult sjis = plat::ConvertText(host, plat::TCodePage::Utf8, plat::TCodePage::Cp932);
    if (!name.empty()) name += '\\';
    name += sjis.unmapped == 0 ? sjis.text : host;
  }
  return name;
}

int Pack(const std::string& out_path, const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) Fail(dir + ": not a folder");

  struct stat out_st {};
  const bool out_exists = ::stat(out_path.c_str(), &out_st) == 0;
  std::vector<std::string> names;
  // Links are never followed (the iterator does not enter linked folders); a link to a file is
  // skipped too, so nothing outside the folder can become an entry.
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_symlink(status)) {
      std::fprintf(stderr, "kvarc: %s: symbolic link skipped\n", it->path().c_str());
      continue;
    }
    if (!fs::is_regular_file(status)) continue;
    if (out_exists && SameFile(out_st, it->path().string())) continue;  // never pack the archive into itself
    names.push_back(GameName(it->path().lexically_relative(dir)));
  }
  if (ec) Fail(dir + ": " + ec.message());
  std::sort(names.begin(), names.end());  // the same folder always packs to the same bytes

  TVrFileCollection arc;
  arc.Open(dir);  // a folder of loose files: each entry is written from its file
  for (const std::string& name : names) {
    // Every name must lead back to its file; one that does not would be written empty.
    if (!arc.LooseFilePath(name)) Fail(dir + ": " + plat::Cp932ToUtf8(name) + ": cannot be found again by its game name");
    arc.Add(name);
  }
  if (!arc.SaveToFile(out_path)) Fail(out_path + ": cancelled");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_end || !arg.starts_with("-")) {
      args.push_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    } else {
      std::fprintf(stderr, "kvarc: unknown option %s\n", arg.c_str());
      Usage(stderr);
      return 2;
    }
  }
  try {
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    if (args.size() == 4 && args[0] == "extract") return Extract(args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == "pack") return Pack(args[1], args[2]);
    Usage(stderr);
    return 2;
  } catch (const kova::EKovaError& e) {
    std::fprintf(stderr, "kvarc: %s\n", kova::plat::Cp932ToUtf8(e.Message()).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kvarc: %s\n", e.what());
  }
  return 1;
}
