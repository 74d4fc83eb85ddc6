#include "platform/files/ini_file.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>

#include "platform/files/atomic_file.h"
#include "platform/text/text_codec.h"

namespace kova::plat {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

// Equal without regard to the case of single-byte letters (double-byte characters compare exactly).
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (IsCp932LeadByte(ca) && i + 1 < a.size()) {
      if (ca != cb || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(ca) != FoldAscii(cb)) return false;
  }
  return true;
}

// The section name of a "[Name]" line; false for any other line.
bool SectionOf(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  const size_t close = line.find(']');
  name = Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
  return true;
}

// The key and raw value of a "Key=Value" line; false for comments and lines without "=".
bool KeyOf(std::string_view line, std::string_view& key, std::string_view& value) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[') return false;
  const size_t eq = t.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(t.substr(0, eq));
  value = t.substr(eq + 1);
  return !key.empty();
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    read_error_ = errno == ENOENT ? 0 : errno;
    return;
  }
  std::string text;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    read_error_ = EINVAL;
  } else if (st.st_size > kMaxBytes) {
    read_error_ = EFBIG;
  } else {
    text.resize(size_t(st.st_size));
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += size_t(n);
    }
    if (done < text.size()) read_error_ = EIO;
  }
  ::close(fd);
  if (read_error_ != 0) return;
  std::string_view rest = text;
  if (rest.starts_with("\xEF\xBB\xBF")) {
    bom_ = true;
    rest.remove_prefix(3);
  }
  const size_t first_lf = rest.find('\n');
  crlf_ = first_lf == std::string_view::npos || (first_lf > 0 && rest[first_lf - 1] == '\r');
  final_eol_ = rest.empty() || rest.back() == '\n';
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.emplace_back(line);
    if (lf == std::string_view::npos) break;
    rest.remove_prefix(lf + 1);
  }
}

TIniFile::TFound TIniFile::Find(std::string_view section, std::string_view key) const {
  TFound found;
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (SectionOf(lines_[i], name)) {
      if (found.section >= 0) break;  // the first matching section ends here
      if (SameName(name, section)) {
        found.section = int64_t(i);
        found.section_end = int64_t(i) + 1;
      }
      continue;
    }
    if (found.section < 0) continue;
    if (!Trim(lines_[i]).empty()) found.section_end = int64_t(i) + 1;
    std::string_view k, v;
    if (found.key < 0 && KeyOf(lines_[i], k, v) && SameName(k, key)) found.key = int64_t(i);
  }
  return found;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  const TFound found = Find(section, key);
  if (found.key < 0) return std::string(fallback);
  std::string_view k, v;
  KeyOf(lines_[size_t(found.key)], k, v);
  v = Trim(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const {
  const std::string text = ReadString(section, key, "");
  std::string_view digits = Trim(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int32_t value = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 10);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size()) return fallback;
  return value;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::string TIniFile::Text(const std::vector<std::string>& lines) const {
  const char* eol = crlf_ ? "\r\n" : "\n";
  std::string text = bom_ ? "\xEF\xBB\xBF" : "";
  for (size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || final_eol_) text += eol;
  }
  return text;
}

bool TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  error_.clear();
  if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) || Trim(key).empty() ||
      key.find('=') != std::string_view::npos || section.find(']') != std::string_view::npos) {
    error_ = strerror(EINVAL);
    return false;
  }
  if (read_error_ != 0) {  // writing would drop what could not be read
    error_ = strerror(read_error_);
    return false;
  }
  std::vector<std::string> lines = lines_;
  const TFound found = Find(section, key);
  if (found.key >= 0) {
    std::string_view k, v;
    KeyOf(lines[size_t(found.key)], k, v);
    lines[size_t(found.key)] = std::string(k) + "=" + std::string(value);
  } else if (found.section >= 0) {
    lines.insert(lines.begin() + found.section_end, std::string(key) + "=" + std::string(value));
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::string(key) + "=" + std::string(value));
  }
  const bool final_eol = final_eol_;
  if (found.key < 0) final_eol_ = true;
  if (const int e = ReplaceFileAtomically(path_, Text(lines)); e != 0) {
    final_eol_ = final_eol;
    error_ = strerror(e);
    return false;
  }
  lines_ = std::move(lines);
  return true;
}

bool TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

}  // namespace kova::plat
