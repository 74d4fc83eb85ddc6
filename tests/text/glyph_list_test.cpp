// Stored glyph lists of every version, their malformed forms, the writer's round trip, and the
// settings block.
#include <gtest/gtest.h>

#include <functional>

#include "core/stream_records.h"
#include "support/glyph_list_writer.h"
#include "support/record_round_trip.h"
#include "text/text_errors.h"
#include "text/text_test_util.h"

namespace kova {
namespace {

using test::DecorateRecord;
using test::GlyphListWriter;

void Load(TXrWord& doc, const std::vector<uint8_t>& bytes) {
  TMemoryStream s{std::span<const uint8_t>(bytes)};
  doc.LoadFromStream(s);
}

// Two decorations, two characters sharing the first, every operator kind, a picture and a VAR.
GlyphListWriter Sample(int version) {
  GlyphListWriter w(version);
  DecorateRecord a;
  a.uses = 7;  // wrong on purpose: uses are counted from the glyphs
  a.color = 0x0000FF;
  a.size = 20;
  a.style = 3;
  a.border = 1;
  a.font = "Mincho";
  a.ruby = "rb";
  a.shadow = 2;
  a.scolor = 0x111111;
  DecorateRecord b;
  b.nobreak = 1;
  w.Decorate(a).Decorate(b);
  w.Char('A', 0, 50, "http://x").Char(0x82A0, 0).Char('b', 1);
  w.Align(3).Return(true).Indent().Undent().Event("\x01" "stop").Event("go");
  w.Img("pic.png", 1, 9, "lnk");
  w.Var(1, 30, "vl", "score");
  return w;
}

TEST(GlyphList, EveryVersionLoads) {
  for (int version : {-1, 99, 100, 101, 102}) {
    SCOPED_TRACE(version);
    TXrWord doc;
    Load(doc, Sample(version).Bytes());
    ASSERT_EQ(doc.GlyphCount(), 11);
    std::vector<int> kinds;
    for (int i = 0; i < doc.GlyphCount(); ++i) kinds.push_back(doc.Glyphs(i)->Kind());
    EXPECT_EQ(kinds, (std::vector<int>{1, 1, 1, 2, 3, 4, 5, 6, 6, 9, 7}));
    const auto& a = dynamic_cast<const TWdChar&>(*doc.Glyphs(0));
    EXPECT_EQ(a.Code, 'A');
    EXPECT_EQ(a.Link, "http://x");
    EXPECT_EQ(a.DelayValue, 50);
    EXPECT_EQ(dynamic_cast<const TWdChar&>(*doc.Glyphs(1)).Code, 0x82A0);
    EXPECT_EQ(dynamic_cast<const TWdChar&>(*doc.Glyphs(1)).Decoration, a.Decoration);
    EXPECT_EQ(a.Decoration->UseCount, 2);
    const TDecorateValues& d = a.Decoration->Values;
    EXPECT_EQ(d.Color, 0x0000FF);
    EXPECT_EQ(d.Size, 20);
    EXPECT_EQ(d.Style, 3);
    EXPECT_EQ(d.Border, 1);
    EXPECT_EQ(d.FontName, "Mincho");
    EXPECT_EQ(d.Ruby, "rb");
    EXPECT_EQ(d.Shadow, version >= 100 ? 2 : 0);
    EXPECT_EQ(d.SColor, version >= 100 ? 0x111111 : 0);
    EXPECT_EQ(doc.Glyphs(2)->GetNoBreak(), 1);
    EXPECT_EQ(doc.Glyphs(3)->GetAlign(), WA_CENTER);
    EXPECT_EQ(doc.Glyphs(4)->GetClear(), 1);
    EXPECT_EQ(doc.Glyphs(7)->GetValue(), "stop");
    EXPECT_EQ(doc.Glyphs(7)->GetDelay(), 1);  // a stored end flag stops the reveal
    EXPECT_EQ(doc.Glyphs(8)->GetValue(), "go");
    EXPECT_EQ(doc.Glyphs(8)->GetDelay(), 0);
    EXPECT_EQ(doc.Glyphs(9)->GetValue(), "pic.png");
    EXPECT_EQ(doc.Glyphs(9)->GetAlign(), WA_LEFT);
    EXPECT_EQ(doc.Glyphs(9)->GetDelay(), 9);
    EXPECT_EQ(doc.Glyphs(9)->GetHref(), "lnk");
    const auto& v = dynamic_cast<const TWdOpeVar&>(*doc.Glyphs(10));
    EXPECT_EQ(v.Decoration, dynamic_cast<const TWdChar&>(*doc.Glyphs(2)).Decoration);
    EXPECT_EQ(v.DelayValue, version >= 101 ? 30 : 0);
    EXPECT_EQ(v.Link, version >= 101 ? "vl" : "");
    EXPECT_EQ(v.Name, version >= 102 ? "score" : "");
    EXPECT_EQ(v.Expression != nullptr, version < 102);
  }
}

TEST(GlyphList, OldVarsTakeTheirValueFromTheExpression) {
  struct Script : TTextScriptPort {
    int32_t TextDelay() const override { return 50; }
    std::optional<std::string> VariableText(std::string_view) override { return "named"; }
    std::optional<std::string> ExpressionText(TKovaParser&) override { return "XY"; }
  } script;
  TXrWord doc;
  doc.Script = &script;
  Load(doc, GlyphListWriter(100).Decorate({}).Var(0, 0, "", "").Bytes());
  doc.ExpandVars();
  ASSERT_EQ(doc.GlyphCount(), 3);
  EXPECT_EQ(doc.Glyphs(1)->CharText() + doc.Glyphs(2)->CharText(), "XY");
}

TEST(GlyphList, KindsAreReadFromTheirLowSevenBits) {
  TXrWord doc;
  // 0x81 is a character; kind 8 makes no glyph and reads no record (here it is the last one).
  Load(doc, GlyphListWriter(102).Decorate({}).Raw(0x81, {0, 0, 0, 0, 0, 0, 0, 0, 'Q', 0, 0, 0, 0, 0}).Raw(8, {}).Bytes());
  ASSERT_EQ(doc.GlyphCount(), 1);
  EXPECT_EQ(doc.Glyphs(0)->GetChar(), 'Q');
}

TEST(GlyphList, MalformedListsRaiseAndLeaveTheDocumentAsItWas) {
  const std::vector<uint8_t> good = Sample(102).Bytes();
  std::vector<std::vector<uint8_t>> bad;
  for (size_t cut = 0; cut < good.size(); ++cut) bad.emplace_back(good.begin(), good.begin() + ptrdiff_t(cut));
  bad.push_back(GlyphListWriter(102).Decorate({}).Char('a', 1).Bytes());    // decoration index past the list
  bad.push_back(GlyphListWriter(102).Decorate({}).Char('a', -1).Bytes());   // negative index
  bad.push_back(GlyphListWriter(102).Char('a', 0).Bytes());                 // no decorations at all
  bad.push_back(test::LeWriter().Raw("XrWord102").I32(0x7FFFFFFF).Bytes()); // absurd decoration count
  bad.push_back(test::LeWriter().Raw("XrWord102").I32(0).I32(0x40000000).U8(2).U8(1).Bytes());  // absurd glyph count
  bad.push_back(test::LeWriter().Raw("XrWord102").I32(0).I32(1).U8(6).I32(-5).Bytes());         // negative length
  bad.push_back(test::LeWriter().Raw("XrWord102").I32(1).I32(1).I32(-1).I32(-1).I32(0).U8(0).U8(0).I32(0)
                    .I32(0x7FFFFFF0).Bytes());                                                    // huge string
  bad.push_back(test::LeWriter().Raw("XrWord102").I32(0).I32(1).U8(7).I32(0).Bytes());
  bad.push_back(test::LeWriter().Raw("XrWordX02").I32(0).I32(0).Bytes());  // a version that is no number
  {
    auto b = GlyphListWriter(102).Decorate({}).Var(0, 0, "", "nm").Bytes();
    b[b.size() - 3] = 0xFF;  // the name's UInt32 length far past the end
    bad.push_back(b);
  }
  for (size_t k = 0; k < bad.size(); ++k) {
    TXrWord doc;
    doc.Parse("ok");
    TDecorate* before = doc.Decorations().Items(0);
    EXPECT_THROW(Load(doc, bad[k]), ETextError) << k;
    EXPECT_EQ(doc.GlyphCount(), 2) << k;
    EXPECT_EQ(doc.Decorations().Count(), 1) << k;
    EXPECT_EQ(before->UseCount, 2) << k;
  }
}

TEST(GlyphList, WrittenListsLoadBackTheSame) {
  for (int version : {-1, 99, 100, 101, 102}) {
    SCOPED_TRACE(version);
    TXrWord doc;
    Load(doc, Sample(version).Bytes());
    TMemoryStream out;
    doc.SaveToStream(out);
    TXrWord back;
    out.SetPosition(0);
    back.LoadFromStream(out);
    ASSERT_EQ(back.GlyphCount(), doc.GlyphCount());
    for (int i = 0; i < doc.GlyphCount(); ++i) {
      const TWdGlyph& a = *doc.Glyphs(i);
      const TWdGlyph& b = *back.Glyphs(i);
      EXPECT_EQ(a.Kind(), b.Kind());
      EXPECT_EQ(a.GetChar(), b.GetChar());
      EXPECT_EQ(a.GetHref(), b.GetHref());
      EXPECT_EQ(a.GetDelay(), b.GetDelay());
      EXPECT_EQ(a.GetValue(), b.GetValue());
      EXPECT_EQ(a.GetAlign(), b.GetAlign());
      EXPECT_EQ(a.GetClear(), b.GetClear());
      EXPECT_EQ(a.GetSize(), b.GetSize());
      EXPECT_EQ(a.GetRuby(), b.GetRuby());
      EXPECT_EQ(a.GetShadow(), b.GetShadow());
    }
    TMemoryStream again;
    back.SaveToStream(again);
    EXPECT_EQ(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end()),
              std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().end()));
  }
  // A current list with true use counts is written byte for byte as it was read.
  GlyphListWriter w(102);
  DecorateRecord d;
  d.uses = 2;
  w.Decorate(d).Char('x', 0).Return().Var(0, 5, "l", "name").Img("p", 4).Event("e");
  TXrWord doc;
  Load(doc, w.Bytes());
  TMemoryStream out;
  doc.SaveToStream(out);
  EXPECT_EQ(std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().end()), w.Bytes());
}

TEST(GlyphList, EveryRecordKindBothWaysAgainstGoldenBytes) {
  DecorateRecord plain;
  DecorateRecord styled;
  styled.color = 0x0000FF;
  styled.style = 3;
  styled.border = -1;
  styled.font = "Mincho";
  styled.ruby = "rb";
  styled.shadow = 2;
  styled.scolor = 0x111111;
  // The glyphs after two characters that use each decoration once; a VAR takes one use more.
  struct Case {
    const char* name;
    std::function<void(GlyphListWriter&)> glyphs;
    int32_t var_uses_of_b;
  } cases[] = {
      {"characters", [](GlyphListWriter& w) { w.Char('A', 1, 50, "http://x").Char(0x82A0, 0); }, 0},
      {"alignment", [](GlyphListWriter& w) { w.Align(3); }, 0},
      {"line ends", [](GlyphListWriter& w) { w.Return(true).Return(false); }, 0},
      {"indents", [](GlyphListWriter& w) { w.Indent().Undent(); }, 0},
      {"events", [](GlyphListWriter& w) { w.Event("\x01" "stop").Event("go"); }, 0},
      {"picture", [](GlyphListWriter& w) { w.Img("pic.png", 1, 9, "lnk"); }, 0},
      {"variable", [](GlyphListWriter& w) { w.Var(1, 30, "vl", "score"); }, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecorateRecord a = plain;
    DecorateRecord b = styled;
    a.uses = std::string(c.name) == "characters" ? 2 : 1;
    b.uses = (std::string(c.name) == "characters" ? 2 : 1) + c.var_uses_of_b;
    GlyphListWriter w(102);
    w.Decorate(a).Decorate(b).Char('a', 0).Char('b', 1);
    c.glyphs(w);
    std::unique_ptr<TXrWord> doc;
    test::ExpectRecordRoundTrip<ETextError>(
        w.Bytes(),
        [&](TStream& s) {
          doc = std::make_unique<TXrWord>();
          doc->LoadFromStream(s);
        },
        [&](TStream& s) { doc->SaveToStream(s); });
  }
  // A list without decorations or glyphs.
  std::unique_ptr<TXrWord> doc;
  test::ExpectRecordRoundTrip<ETextError>(
      GlyphListWriter(102).Bytes(),
      [&](TStream& s) {
        doc = std::make_unique<TXrWord>();
        doc->LoadFromStream(s);
      },
      [&](TStream& s) { doc->SaveToStream(s); });
}

TEST(GlyphList, ExpandedVarsAreNotWritten) {
  TXrWord doc;
  doc.Parse("a<VAR NAME=v>b");
  doc.VarValues.Add("v=xyz");
  doc.ExpandVars();
  ASSERT_EQ(doc.GlyphCount(), 6);
  TMemoryStream out;
  doc.SaveToStream(out);
  out.SetPosition(0);
  TXrWord back;
  back.LoadFromStream(out);
  EXPECT_EQ(back.GlyphCount(), 3);
}

TEST(Settings, RoundTripAndOlderVersionsReadFewerFields) {
  test::SettingsRecord s;
  for (int version : {109, 110, 111, 129}) {
    SCOPED_TRACE(version);
    const std::vector<uint8_t> bytes = test::SettingsBlock(s, version);
    TMemoryStream in{std::span<const uint8_t>(bytes)};
    TXrWord doc;
    doc.LoadSettings(in, version);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(doc.OriginX, 10);
    EXPECT_EQ(doc.FontSize, 24);
    EXPECT_EQ(doc.FontName, "Gothic");
    EXPECT_EQ(doc.PageHeight, 300);
    EXPECT_EQ(doc.WrapWidth, 400);
    EXPECT_EQ(doc.Quality, 2);
    EXPECT_EQ(doc.FadeTime, 200);
    EXPECT_EQ(doc.Caret, (TPoint{5, 6}));
    EXPECT_EQ(doc.TextDelay, 256);
    EXPECT_EQ(doc.EventsOn, 1);
    EXPECT_EQ(doc.BorderColor, version >= 110 ? 0x123456 : 0);
    EXPECT_EQ(doc.BorderWidth, version >= 111 ? 2 : 0);
    EXPECT_EQ(doc.ShadowWidth, version >= 111 ? 3 : 0);
    if (version >= 111) {
      TMemoryStream out;
      doc.SaveSettings(out);
      EXPECT_EQ(std::vector<uint8_t>(out.Bytes().begin(), out.Bytes().end()), bytes);
    }
  }
  const std::vector<uint8_t> cut = test::SettingsBlock(s, 111);
  TMemoryStream short_in{std::span<const uint8_t>(cut.data(), cut.size() - 1)};
  TXrWord doc;
  EXPECT_THROW(doc.LoadSettings(short_in, 111), EReadError);
}

}  // namespace
}  // namespace kova
