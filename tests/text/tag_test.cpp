// The tag language: the normaliser's tokens, the tags' effects on the glyph list, and bad markup.
#include <gtest/gtest.h>

#include "text/tag.h"
#include "text/text_errors.h"
#include "text/text_limits.h"
#include "text/xr_word.h"
#include "text/text_test_util.h"

namespace kova {
namespace {

using test::Sj;
using test::SjCode;

struct TokenCase {
  const char* what;
  std::string text;
  std::vector<std::string> tokens;
};

TEST(Normalize, TokenTable) {
  const std::vector<TokenCase> cases = {
      {"two spaces fold into one", "a  b", {"a b"}},
      {"spaces stay inside PRE", "<PRE>a  b</PRE>", {"<PRE>", "a  b", "</PRE>"}},
      {"a PRE line loses its line-end BR", "<PRE>\rline\r</PRE>", {"<PRE>", "line", "</PRE>"}},
      {"PRE keeps inner line breaks", "<PRE>a\rb</PRE>", {"<PRE>", "a", "<BR>", "b", "</PRE>"}},
      {"TEXTAREA keeps lines without BR", "<TEXTAREA>a\rb</TEXTAREA>", {"<TEXTAREA>", "a", "b", "</TEXTAREA>"}},
      {"tabs drop outside PRE", "a\tb", {"ab"}},
      {"tabs become eight spaces in PRE", "<PRE>a\tb</PRE>", {"<PRE>", "a        b", "</PRE>"}},
      {"escaped angle bracket is text", "x\\<B>y", {"x<B>y"}},
      {"escapes of the special characters", "\\\\\\{\\}\\%\\>", {"\\{}%>"}},
      {"a backslash before a letter is dropped", "a\\qb", {"aqb"}},
      {"a final backslash stays", "a\\", {"a\\"}},
      {"a quote keeps spaces and tags", "say \"a  <b>\" ok", {"say \"a  <b>\" ok"}},
      {"a complete comment is one token", "<!-- c -->x", {"<!-- c -->", "x"}},
      {"script blocks keep their line breaks", "<script>a\rb</script>y", {"<script>a\r\nb</script>", "y"}},
      {"an unclosed comment runs to the end", "x<!-- open", {"x", "<!-- open"}},
      {"a line break inside a tag is a space", "<FONT\rSIZE=3>", {"<FONT SIZE=3>"}},
      {"a line break between words is a space", "a\rb", {"a b"}},
      {"a line break after a space is dropped", "a \rb", {"a b"}},
      {"a nested angle bracket stays in the tag", "<A <B>>x", {"<A <B>", "x"}},
      {"a closing bracket in text is text", "a>b", {"a>b"}},
      {"an empty pair", "<>", {"<>"}},
      {"trail byte 0x5C is no escape", Sj("表") + "<B>x", {Sj("表"), "<B>", "x"}},
      {"trail byte 0x5C before a letter", Sj("ソ") + "n", {Sj("ソ") + "n"}},
      {"Japanese and English mixed", Sj("今日は") + " <B>fine</B> " + Sj("です。"),
       {Sj("今日は") + " ", "<B>", "fine", "</B>", " " + Sj("です。")}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (const TTextToken& t : NormalizeText(c.text)) got.push_back(t.Text);
    EXPECT_EQ(got, c.tokens) << c.what;
  }
}

TEST(Normalize, ClosedBlocksAreNotTextButUnclosedOnesAre) {
  TXrWord doc;
  doc.Parse("a<!-- hidden -->b<STYLE>x</STYLE>c");
  EXPECT_EQ(doc.GlyphCount(), 3);
  doc.Parse("a<!-- shown");
  EXPECT_EQ(doc.GlyphCount(), 11);
  doc.Parse("\\<B>");  // escaped: the brackets are text, not a bold tag
  EXPECT_EQ(doc.GlyphCount(), 3);
}

TEST(Tag, ReadsNamesAndAttributes) {
  const TTag tag(TTextToken{"<font size=20 Color='#FF0000' name=\"A B\" flag>", TTokenKind::Tag});
  EXPECT_EQ(tag.Code(), TG_FONT);
  EXPECT_EQ(tag.Text(), "<font>");
  EXPECT_EQ(tag.Int("SIZE", 0), 20);
  EXPECT_EQ(tag.Value("color"), "#FF0000");
  EXPECT_EQ(tag.Value("NAME"), "A B");
  EXPECT_TRUE(tag.Has("FLAG"));
  EXPECT_EQ(tag.Value("missing", "dflt"), "dflt");
  EXPECT_EQ(TTag(TTextToken{"<WAIT VALUE=abc>", TTokenKind::Tag}).Int("VALUE", 7), 7);
  EXPECT_EQ(TTag(TTextToken{"<NOSUCH>", TTokenKind::Tag}).Code(), TG_UNKNOWN);
  EXPECT_EQ(TTag(TTextToken{"<B", TTokenKind::Text}).Code(), TG_TEXT);

  int32_t c = 0;
  EXPECT_TRUE(ParseTagColor("#FF0000", c));
  EXPECT_EQ(c, 0x0000FF);
  EXPECT_TRUE(ParseTagColor("#123456", c));
  EXPECT_EQ(c, 0x563412);
  for (const char* bad : {"FF0000", "#FF00", "#GG0000", "#FF00000", "red"}) EXPECT_FALSE(ParseTagColor(bad, c)) << bad;
}

const TWdChar& CharAt(const TXrWord& doc, int i) { return dynamic_cast<const TWdChar&>(*doc.Glyphs(i)); }

std::vector<int> Kinds(const TXrWord& doc) {
  std::vector<int> k;
  for (int i = 0; i < doc.GlyphCount(); ++i) k.push_back(doc.Glyphs(i)->Kind());
  return k;
}

TEST(Parse, FontStylesAndTheirStacks) {
  TXrWord doc;
  doc.Parse("<FONT SIZE=20 COLOR=#FF0000 BORDER=x SHADOW=-3 NAME=Mincho>a<FONT BCOLOR=#00FF00>b</FONT>c</FONT>d");
  ASSERT_EQ(doc.GlyphCount(), 4);
  const TDecorateValues& a = CharAt(doc, 0).Decoration->Values;
  EXPECT_EQ(a.Size, 20);
  EXPECT_EQ(a.Color, 0x0000FF);
  EXPECT_EQ(a.Border, 1);  // not a number
  EXPECT_EQ(a.Shadow, 0);  // negative
  EXPECT_EQ(a.FontName, "Mincho");
  const TDecorateValues& b = CharAt(doc, 1).Decoration->Values;
  EXPECT_EQ(b.Size, 20);
  EXPECT_EQ(b.BColor, 0x00FF00);
  EXPECT_EQ(b.Border, 1);
  EXPECT_EQ(CharAt(doc, 2).Decoration, CharAt(doc, 0).Decoration);
  const TDecorateValues& d = CharAt(doc, 3).Decoration->Values;
  EXPECT_EQ(d.Size, 0);
  EXPECT_EQ(d.Color, -1);
  EXPECT_EQ(d.Border, -1);
  EXPECT_EQ(d.Shadow, -1);
  EXPECT_EQ(d.FontName, "");

  doc.Parse("<B><I>a</B>b<U>c</U><S>d</I></S>e<NOBR>f</NOBR>g<FONT SIZE=-5>h");
  const std::vector<int> styles = {3, 2, 6, 10, 0, 0, 0, 0};
  const std::vector<int> nobr = {0, 0, 0, 0, 0, 1, 0, 0};
  for (int i = 0; i < doc.GlyphCount(); ++i) {
    EXPECT_EQ(CharAt(doc, i).GetStyle(), styles[size_t(i)]) << i;
    EXPECT_EQ(CharAt(doc, i).GetNoBreak(), nobr[size_t(i)]) << i;
  }
  EXPECT_EQ(CharAt(doc, 7).GetSize(), 0);  // a negative size is the document's size
}

TEST(Parse, OperatorTagsMakeTheirGlyphs) {
  TXrWord doc;
  doc.Parse("<DIV ALIGN=right>a</DIV><INDENT><UNDENT><BR><BR CLEAR=no><CLEAR><EVENT VALUE=\"go\\\\n\">"
            "<EVENT VALUE=end END><IMG SRC=pic.png ALIGN=TOP><IMG SRC=p2 ALIGN=LEFT><IMG><VAR><VAR NAME=v>");
  EXPECT_EQ(Kinds(doc), (std::vector<int>{2, 1, 2, 4, 5, 3, 3, 3, 6, 6, 9, 9, 7}));
  EXPECT_EQ(doc.Glyphs(0)->GetAlign(), WA_RIGHT);
  EXPECT_EQ(doc.Glyphs(2)->GetAlign(), WA_LEFT);
  EXPECT_EQ(doc.Glyphs(5)->GetClear(), 0);
  EXPECT_EQ(doc.Glyphs(6)->GetClear(), 1);
  EXPECT_EQ(doc.Glyphs(7)->GetClear(), 1);
  EXPECT_EQ(doc.Glyphs(8)->GetValue(), "go\\n");
  EXPECT_EQ(doc.Glyphs(9)->GetValue(), "\x01" "end");
  EXPECT_EQ(doc.Glyphs(9)->GetDelay(), 0);  // parsed END does not stop the reveal
  EXPECT_EQ(doc.Glyphs(10)->GetAlign(), WA_TOP);
  EXPECT_EQ(doc.Glyphs(11)->GetAlign(), WA_BOTTOM);  // the parser makes no floats
  EXPECT_EQ(doc.Glyphs(12)->GetValue(), "v");
}

TEST(Parse, LinksWaitsAndRuby) {
  struct Script : TTextScriptPort {
    int32_t TextDelay() const override { return 77; }
    std::optional<std::string> VariableText(std::string_view) override { return std::nullopt; }
    std::optional<std::string> ExpressionText(TKovaParser&) override { return std::nullopt; }
  } script;
  TXrWord doc;
  doc.Script = &script;
  doc.Parse("<A HREF=\"x\\ny\">a</A>b<WAIT VALUE=10>c<WAIT VALUE=bad>d</WAIT></WAIT>e</WAIT>" +
            Sj("<RUBY VALUE=かな>仮名</RUBY>字<VAR NAME=v>"));
  ASSERT_EQ(doc.GlyphCount(), 9);
  EXPECT_EQ(doc.Glyphs(0)->GetHref(), "x\r\ny");
  EXPECT_EQ(doc.Glyphs(1)->GetHref(), "");
  const std::vector<int> delays = {77, 77, 10, 10, 77, 77, 77, 77, 77};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(doc.Glyphs(i)->GetDelay(), delays[size_t(i)]) << i;
  EXPECT_EQ(doc.Glyphs(5)->GetRuby(), Sj("かな"));
  EXPECT_EQ(doc.Glyphs(6)->GetRuby(), Sj("かな"));
  EXPECT_EQ(doc.Glyphs(7)->GetRuby(), "");
  EXPECT_EQ(doc.Glyphs(5)->GetChar(), SjCode("仮"));

  TXrWord plain;  // no script: the WAIT base is the start-up text delay
  plain.Parse("a");
  EXPECT_EQ(plain.Glyphs(0)->GetDelay(), 50);
}

TEST(Parse, AnchorWithoutHrefStopsWithTheGlyphsBeforeIt) {
  for (const char* text : {"ab<A>c", "ab<A HREF=\"\">c"}) {
    TXrWord doc;
    try {
      doc.Parse(text);
      FAIL() << text;
    } catch (const ETextError& e) {
      EXPECT_EQ(e.Message(), Sj("<A>タグにHREF値がありません"));
    }
    EXPECT_EQ(doc.GlyphCount(), 2) << text;
  }
}

TEST(Parse, UnbalancedAndDeepMarkupEnds) {
  TXrWord doc;
  doc.Parse("</FONT></DIV></WAIT></A></B>a<NOSUCH x=1>b");
  EXPECT_EQ(Kinds(doc), (std::vector<int>{2, 1, 1}));  // /DIV still sets the (base) alignment
  EXPECT_EQ(doc.Glyphs(0)->GetAlign(), WA_LEFT);

  std::string deep;
  for (int i = 0; i < 10000; ++i) deep += "<FONT SIZE=" + std::to_string(i % 50) + "><DIV ALIGN=CENTER><B>";
  deep += "x";
  for (int i = 0; i < 10000; ++i) deep += "</B></DIV></FONT>";
  deep += "y";
  doc.Parse(deep);
  EXPECT_EQ(doc.GlyphCount(), 20002);
  EXPECT_EQ(doc.Glyphs(10000)->GetSize(), 9999 % 50);
  EXPECT_EQ(doc.Glyphs(20001)->GetSize(), 0);
  EXPECT_EQ(doc.Glyphs(20000)->GetAlign(), WA_LEFT);
}

TEST(Decorations, EqualStylesShareOneRecord) {
  TXrWord doc;
  doc.Parse("aaaaaaaaaa");
  ASSERT_EQ(doc.Decorations().Count(), 1);
  TDecorate* shared = doc.Decorations().Items(0);
  EXPECT_EQ(shared->UseCount, 10);
  auto& one = dynamic_cast<TWdChar&>(*doc.Glyphs(3));
  one.SetColor(0x00FF00);
  EXPECT_EQ(shared->UseCount, 9);
  EXPECT_EQ(one.Decoration->UseCount, 1);
  EXPECT_EQ(doc.Decorations().Count(), 2);
  one.SetColor(0x0000FF);  // its own record changes in place
  EXPECT_EQ(doc.Decorations().Count(), 2);
  one.SetColor(shared->Values.Color);  // back to the shared style: its record goes
  EXPECT_EQ(shared->UseCount, 10);
  EXPECT_EQ(doc.Decorations().Count(), 1);
  doc.Delete(0);
  EXPECT_EQ(shared->UseCount, 9);
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

// What one document may cost: a text past the byte bound is refused before the document changes,
// one of more glyphs than it may hold leaves it empty, and variables whose values would take it
// past the bound are refused before any expansion is made.
TEST(TextBounds, DocumentsRefuseTextsPastTheirBounds) {
  TXrWord doc;
  doc.Parse("old");
  EXPECT_THROW(doc.Parse(std::string(kMaxTextBytes + 1, 'a')), ETextError);
  EXPECT_EQ(doc.GlyphCount(), 3);

  doc.Parse(std::string(kMaxTextGlyphs, 'a'));
  EXPECT_EQ(doc.GlyphCount(), int(kMaxTextGlyphs));
  try {
    doc.Parse(std::string(kMaxTextGlyphs, 'a') + "<BR>");
    ADD_FAILURE() << "no error";
  } catch (const ETextError& e) {
    EXPECT_NE(std::string(e.what()).find(std::to_string(kMaxTextGlyphs)), std::string::npos) << e.what();
  }
  EXPECT_EQ(doc.GlyphCount(), 0);

  // Each VAR expands to at most 65536 glyphs: four of them pass the bound, three do not.
  const std::string value = "v=" + std::string(65536, 'x');
  TXrWord vars;
  vars.Parse("<VAR NAME=v><VAR NAME=v><VAR NAME=v><VAR NAME=v>");  // parsing clears the values
  vars.VarValues.Add(value);
  EXPECT_THROW(vars.ExpandVars(), ETextError);
  EXPECT_EQ(vars.GlyphCount(), 4);
  vars.Parse("<VAR NAME=v><VAR NAME=v><VAR NAME=v>");
  vars.VarValues.Add(value);
  vars.ExpandVars();
  EXPECT_EQ(vars.GlyphCount(), 3 + 3 * 65536);
  vars.ExpandVars();  // expanding again replaces the expansions, within the bound
  EXPECT_EQ(vars.GlyphCount(), 3 + 3 * 65536);
}

}  // namespace
}  // namespace kova
