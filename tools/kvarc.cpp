// kvarc: lists, extracts and packs game archives.
//
//   kvarc list ARCHIVE                 one line per entry, in directory order:
//                                      name (stored Shift-JIS bytes) TAB stored size TAB
//                                      stored flag (0/1) TAB CRC-32 (8 lower-case hex digits)
//   kvarc extract ARCHIVE NAME OUTFILE the contents of one entry (NAME as stored, or in UTF-8)
//   kvarc pack OUT DIR                 a version-102 archive of every file below DIR (names with
//                                      "\" between folders, in Shift-JIS)
//
// Errors go to stderr; the exit status is 1 for a failed operation and 2 for bad arguments.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/errors.h"
#include "platform/text_codec.h"

namespace {

using namespace kova;

int Usage() {
  std::fprintf(stderr,
               "usage: kvarc list ARCHIVE\n"
               "       kvarc extract ARCHIVE NAME OUTFILE\n"
               "       kvarc pack OUT DIR\n");
  return 2;
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

int List(const std::string& path) {
  TVrFileCollection arc;
  OpenArchive(arc, path);
  for (int32_t i = 0; i < arc.EntryCount(); ++i) {
    const TVrFile* f = arc.Files(i);
    std::printf("%s\t%lld\t%d\t%08x\n", f->Name().c_str(), static_cast<long long>(f->Size),
                f->Stored ? 1 : 0, f->Crc);
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

int Extract(const std::string& path, const std::string& name, const std::string& out_path) {
  TVrFileCollection arc;
  OpenArchive(arc, path);
  const TVrFile* entry = FindEntry(arc, name);
  if (!entry) Fail(name + ": no such entry in " + path);
  try {
    TFileStream out(out_path, plat::TFileMode::Create);
    arc.ReadEntry(out, *entry);  // the entry itself, never a loose file beside the archive
    out.Close();
  } catch (...) {
    ::unlink(out_path.c_str());
    throw;
  }
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
  bool out_exists = ::stat(out_path.c_str(), &out_st) == 0;
  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (!it->is_regular_file()) continue;
    struct stat st {};
    if (out_exists && ::stat(it->path().c_str(), &st) == 0 && st.st_dev == out_st.st_dev &&
        st.st_ino == out_st.st_ino)
      continue;  // never pack the archive into itself
    names.push_back(GameName(fs::relative(it->path(), dir)));
  }
  if (ec) Fail(dir + ": " + ec.message());
  std::sort(names.begin(), names.end());  // the same folder always packs to the same bytes

  TVrFileCollection arc;
  arc.Open(dir);  // a folder of loose files: each entry is written from its file
  for (const std::string& name : names) arc.Add(name);
  if (!arc.SaveToFile(out_path)) Fail(out_path + ": cancelled");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 2 && args[0] == "list") return List(args[1]);
    if (args.size() == 4 && args[0] == "extract") return Extract(args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == "pack") return Pack(args[1], args[2]);
    return Usage();
  } catch (const kova::EKovaError& e) {
    std::fprintf(stderr, "kvarc: %s\n", kova::plat::Cp932ToUtf8(e.Message()).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kvarc: %s\n", e.what());
  }
  return 1;
}
