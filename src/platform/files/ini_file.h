// Settings files in the INI layout ("[Section]" lines, "Key=Value" lines), read and written with the
// rules of the classic private-profile routines: section and key names compare without regard to
// ASCII case, the first matching section and key win, values are trimmed and lose one pair of
// enclosing quotes, lines starting with ";" are comments. Numbers are decimal; a value that is not
// one reads as the default. Texts are code page 932 bytes, as stored.
//
// A file that is missing, unreadable, larger than kMaxBytes or not an INI file at all reads as
// empty, so every value gets its default; a file that exists but cannot be read is never written
// over. A write changes only its own key (adding it, or its
// section, at the end when missing), keeps every other line, comment and line-end style, and
// replaces the file atomically; when it fails the file on disk stays as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova::plat {

class TIniFile {
 public:
  static constexpr int64_t kMaxBytes = 1 << 20;

  // Reads `path` (a host path).
  explicit TIniFile(std::string path);

  const std::string& Path() const { return path_; }
  // Writes go to `path` from now on; what was read stays (a read-only game's own settings file
  // becomes the user's copy elsewhere on the first write).
  void WriteTo(std::string path) { path_ = std::move(path); }

  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // An integer: non-zero is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Each returns false when the file could not be written (Error() says why). Section and key may
  // hold no line break, no "=" (key) and no "]" (section); a value may hold no line break.
  bool WriteString(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInteger(std::string_view section, std::string_view key, int32_t value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);  // "1" or "0"

  // The reason of the last failed write (a system error text), empty after a success.
  const std::string& Error() const { return error_; }

 private:
  // Index of the line holding `key` in `section`, and of the section's header; -1 when missing.
  struct TFound {
    int64_t section = -1;
    int64_t key = -1;
    int64_t section_end = -1;  // one past the section's last line that is not blank
  };
  TFound Find(std::string_view section, std::string_view key) const;
  std::string Text(const std::vector<std::string>& lines) const;

  std::string path_;
  std::vector<std::string> lines_;  // without line ends
  bool bom_ = false;
  bool crlf_ = true;
  bool final_eol_ = true;
  int read_error_ = 0;  // why an existing file could not be read (writes are then refused)
  std::string error_;
};

}  // namespace kova::plat
