#include "core/path_parser.h"

#include "core/sjis.h"
#include "core/utils.h"

namespace kova {
namespace {

// The index just past the first "\" at or after `from` that begins a character, or npos.
// `from` must be a character start.
size_t PastNextDelimiter(std::string_view path, size_t from) {
  for (size_t i = from; i < path.size();) {
    if (path[i] == '\\') return i + 1;
    i += (IsSjisLeadByte(path[i]) && i + 1 < path.size()) ? 2 : 1;
  }
  return std::string_view::npos;
}

}  // namespace

void TPathParser::SetPath(std::string_view path) {
  Clear();
  if (path.empty()) return;
  const std::string full = AddPathDelimiter(SjisUpperCase(path));
  std::string_view rest = full;
  if (rest.starts_with("\\\\")) {
    size_t end = PastNextDelimiter(rest, 2);
    if (end == std::string_view::npos) end = rest.size();
    Add(std::string(rest.substr(0, end)));
    rest.remove_prefix(end);
  } else if (rest.size() >= 2 && rest[0] != ':' && rest[1] == ':') {
    // The drive letter, ":" and "\".
    size_t end = rest.size() < 3 ? rest.size() : 3;
    Add(std::string(rest.substr(0, end)));
    rest.remove_prefix(end);
  }
  while (!rest.empty()) {
    size_t end = PastNextDelimiter(rest, 0);
    if (end == std::string_view::npos) end = rest.size();
    Add(std::string(rest.substr(0, end)));
    rest.remove_prefix(end);
  }
}

std::string TPathParser::GetPath() const {
  std::string path;
  for (const auto& item : Items()) path += item.Str;
  return path;
}

std::string ExpandRelativePath(std::string_view relative, std::string_view base) {
  if (relative.size() <= 1 || relative[0] == '\\' || relative[1] == ':') return std::string(relative);
  if (!relative.starts_with("..\\")) {
    std::string out(base);
    out += relative;
    return out;
  }
  TPathParser parser;
  parser.SetPath(base);
  while (parser.Count() > 0 && relative.starts_with("..\\")) {
    parser.Delete(parser.Count() - 1);
    relative.remove_prefix(3);
  }
  return parser.GetPath() + std::string(relative);
}

}  // namespace kova
