// The seed corpus of the rich-text fuzz targets: written by our own writers, replayed here under
// the sanitizers, together with every prefix and seeded mutations of each seed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "support/glyph_list_writer.h"
#include "support/text_exercise.h"
#include "text/text_test_util.h"

namespace kova {
namespace {

using test::Sj;

std::vector<uint8_t> Markup(uint8_t knobs, const std::string& text) {
  std::vector<uint8_t> b{knobs};
  b.insert(b.end(), text.begin(), text.end());
  return b;
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> Seeds() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
  out.push_back({"markup_styles", Markup(0x01, Sj("<FONT SIZE=20 COLOR=#FF0000 BORDER=1 SHADOW=2 NAME=x>今日は</FONT>"
                                                  "<B><I><U><S>fine</S></U></I></B> <NOBR>です。</NOBR>"))});
  out.push_back({"markup_ops", Markup(0x16, Sj("<DIV ALIGN=CENTER>あ<INDENT>いう「え」<UNDENT><BR CLEAR></DIV>"
                                               "<WAIT VALUE=30>お</WAIT><RUBY VALUE=かな>仮名</RUBY><CLEAR>x"))});
  out.push_back({"markup_events", Markup(0x35, "<A HREF=\"go\\n\">link</A><EVENT VALUE=a><EVENT VALUE=b END>"
                                               "<VAR NAME=v><IMG SRC=p.png ALIGN=TOP>end")});
  out.push_back({"markup_blocks", Markup(0x42, Sj("<PRE>a  b\r\tc</PRE><!-- c --><SCRIPT>x</SCRIPT>\"q <b>\" "
                                                  "\\<\\> 表\\ <TEXTAREA>t\rt</TEXTAREA><!-- open"))});
  test::GlyphListWriter v0(-1);
  test::DecorateRecord d;
  d.border = 1;
  v0.Decorate(d).Char('a', 0).Return().Char(0x82A0, 0);
  out.push_back({"list_v0", v0.Bytes()});
  test::GlyphListWriter v100(100);
  d.ruby = "r";
  d.shadow = 1;
  v100.Decorate(d).Decorate({}).Char('a', 0, 10, "l").Char('b', 0).Var(1, 0, "", "").Align(2).Img("p", 1).Char('c', 1);
  out.push_back({"list_v100", v100.Bytes()});
  test::GlyphListWriter v102(102);
  v102.Decorate({}).Char('x', 0, 5).Event("\x01" "end").Event("e").Indent().Char('y', 0).Undent().Return(true);
  v102.Var(0, 3, "lnk", "v").Img("q", 2).Img("r", 3).Char('z', 0);
  out.push_back({"list_v102", v102.Bytes()});
  return out;
}

std::filesystem::path CorpusFolder() { return std::filesystem::path(KOVA_TESTS_DIR) / "text" / "corpus"; }

void Exercise(const std::string& name, const std::vector<uint8_t>& bytes) {
  if (name.starts_with("markup")) {
    test::ExerciseMarkup(bytes);
  } else {
    test::ExerciseGlyphList(bytes);
  }
}

TEST(TextCorpus, ReplaysEveryFile) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder())) {
    if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Files the fuzzers added are replayed through both targets.
    test::ExerciseMarkup(bytes);
    test::ExerciseGlyphList(bytes);
    ++files;
  }
  EXPECT_GE(files, Seeds().size());
}

// Rewrites the seed corpus (run with KOVA_WRITE_TEXT_CORPUS=1 after changing the seeds).
TEST(TextCorpus, SeedFilesAreCurrent) {
  for (const auto& [name, bytes] : Seeds()) {
    const auto path = CorpusFolder() / name;
    if (std::getenv("KOVA_WRITE_TEXT_CORPUS")) {
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(stored, bytes) << name;
  }
}

TEST(TextCorpus, CutAndMutatedSeedsEnd) {
  std::mt19937 rng(20240926);
  for (const auto& [name, bytes] : Seeds()) {
    SCOPED_TRACE(name);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
      Exercise(name, std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(cut)));
    }
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> m = bytes;
      for (int k = 0, flips = 1 + int(rng() % 4); k < flips; ++k) {
        m[rng() % m.size()] = (rng() % 3 == 0) ? uint8_t(0xFF) : uint8_t(rng());
      }
      Exercise(name, m);
    }
  }
}

}  // namespace
}  // namespace kova
