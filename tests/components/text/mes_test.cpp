// The message window with the fake fonts: pages from markup, the start, playing and end events
// around the timed reveal, pause, links and the capture of link clicks, the drawn text, and the
// save record at the current version and older ones.
#include "components/text/kova_mes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/stream.h"
#include "support/fake_glyph_fonts.h"
#include "support/le_writer.h"
#include "support/scene_driver.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

using test::FakeGlyphFonts;
using test::SceneDriver;

// Cells of 16 pixels: a 64 x 32 window holds two rows of four single-byte characters per page.
struct MesScene {
  MesScene() : scene(kDisplay8888, 96, 64, {.glyph_cache = &cache}) {}
  TKovaMes* Window(const std::string& name = "mes", TRect r = TRect{8, 8, 72, 40}) {
    auto* m = static_cast<TKovaMes*>(scene.root.CreateComponent(KT_MES));
    m->SetName(name);
    m->SetParent(scene.root.ActiveBase());
    m->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    m->SetFontHeight(16);
    m->SetFontColor(0xFFFFFF);
    return m;
  }
  // Frames until the window stops playing (at most `limit`), the events of each frame collected.
  std::vector<std::string> RunOut(TKovaMes& m, int limit = 200) {
    std::vector<std::string> all;
    for (int i = 0; i < limit; ++i) {
      for (auto& e : scene.Frame()) all.push_back(e);
      if (!m.GetPlaying()) break;
    }
    for (int i = 0; i < 2; ++i) {
      for (auto& e : scene.Frame()) all.push_back(e);
    }
    return all;
  }
  int InkPixels(TRect r) {
    int n = 0;
    for (int32_t y = r.Top; y < r.Bottom; ++y) {
      for (int32_t x = r.Left; x < r.Right; ++x) n += scene.Pixel(x, y) != 0;
    }
    return n;
  }
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  SceneDriver scene;
};

std::vector<uint8_t> Bytes(TMemoryStream& s) { return std::vector<uint8_t>(s.Bytes().begin(), s.Bytes().end()); }

TEST(MessageWindow, MarkupBecomesPagesAndTheIndexSelectsOne) {
  MesScene s;
  TKovaMes* m = s.Window();
  EXPECT_TRUE(s.scene.root.Factory().Has(KT_MES));
  EXPECT_EQ(m->GetCompoType(), KT_MES);
  m->SetText("abcd<BR>efgh<BR>ij");
  EXPECT_EQ(m->GetCount(), 2);
  EXPECT_EQ(m->GetIndex(), 0);
  EXPECT_EQ(m->GetText(), "abcdefgh");
  EXPECT_TRUE(m->GetPlaying());
  m->SetIndex(1);
  EXPECT_EQ(m->GetText(), "ij");
  // The same index, a negative one and the page count change nothing.
  for (int32_t i : {1, -1, 2}) {
    m->SetIndex(i);
    EXPECT_EQ(m->GetIndex(), 1) << i;
  }
  // An empty text leaves no page.
  m->SetText("");
  EXPECT_EQ(m->GetCount(), 0);
  EXPECT_EQ(m->GetIndex(), 0);
  EXPECT_EQ(m->GetText(), "");
  EXPECT_FALSE(m->GetPlaying());
  EXPECT_EQ(m->GetPlayState(), 2);
  // The wrap width and page height follow the size.
  m->SetHeight(16);
  m->SetText("abcd<BR>efgh<BR>ij");
  EXPECT_EQ(m->GetCount(), 3);
  // A parse error reaches the caller.
  EXPECT_ANY_THROW(m->SetText("<A>x</A>"));
}

TEST(MessageWindow, RevealWaitsForTheStartHandlerAndEndsOncePerShowing) {
  MesScene s;
  TKovaMes* m = s.Window();
  m->SetOnPlayStart("start");
  m->SetOnPlayEnd("end");
  m->SetText("abcd<BR>efgh<BR>ij");
  // The start event waits in the queue: nothing is revealed while it is there.
  for (int i = 0; i < 5; ++i) {
    const auto events = s.scene.Frame(16, true);
    if (i == 0) {
      EXPECT_EQ(events, std::vector<std::string>{"mes 101 start 0"});
    }
  }
  EXPECT_EQ(m->GetCaretPos().X, 0);
  EXPECT_EQ(m->Pages()[0]->RowIndex, 0);
  EXPECT_EQ(m->Pages()[0]->GlyphIndex, 0);
  s.scene.root.Events().Clear();
  const auto events = s.RunOut(*m);
  EXPECT_EQ(std::count(events.begin(), events.end(), "mes 43 end"), 1);
  EXPECT_FALSE(m->Pages()[0]->IsPlaying());
  EXPECT_TRUE(m->GetPlaying());  // a later page remains
  // Again on page 1, then back to page 0: the end fires once for each showing.
  m->SetIndex(1);
  auto more = s.RunOut(*m);
  EXPECT_EQ(more.front(), "mes 101 start 0");
  EXPECT_EQ(std::count(more.begin(), more.end(), "mes 43 end"), 1);
  EXPECT_FALSE(m->GetPlaying());
  m->SetIndex(1);  // the same index: nothing
  EXPECT_TRUE(s.scene.Frame().empty());
  m->SetIndex(0);
  more = s.RunOut(*m);
  EXPECT_EQ(std::count(more.begin(), more.end(), "mes 43 end"), 1);
}

TEST(MessageWindow, PlayingReportsTheRevealedTextAndNotifyTheEventValues) {
  MesScene s;
  TKovaMes* m = s.Window();
  m->SetOnPlaying("playing");
  m->SetOnNotify("notify");
  m->SetText("<WAIT VALUE=50>ab<EVENT VALUE=x><EVENT VALUE=y>c");
  std::vector<std::string> playing, notify;
  for (auto& e : s.RunOut(*m)) {
    if (e.rfind("mes 32 ", 0) == 0) playing.push_back(e.substr(15));
    if (e.rfind("mes 33 ", 0) == 0) notify.push_back(e.substr(14));
  }
  std::string revealed;
  for (auto& p : playing) revealed += p;
  EXPECT_EQ(revealed, "abc");
  EXPECT_EQ(notify, (std::vector<std::string>{"x", "y"}));
}

TEST(MessageWindow, TextDelayAndPauseControlTheRevealBudget) {
  MesScene s;
  TKovaMes* m = s.Window();
  m->SetText("<WAIT VALUE=50>abcdefgh");
  s.scene.Frame();  // render, start wait
  s.scene.Frame();  // the first glyph, for free
  EXPECT_EQ(m->Pages()[0]->GlyphIndex, 1);
  m->SetPaused(true);
  for (int i = 0; i < 20; ++i) s.scene.Frame(100);
  EXPECT_EQ(m->Pages()[0]->GlyphIndex, 1);
  // Resuming restarts the budget: no burst of the glyphs the pause held back.
  m->SetPaused(false);
  s.scene.Frame(100);  // start wait again
  s.scene.Frame(10);
  EXPECT_LE(m->Pages()[0]->GlyphIndex, 2);
  // TextPaused works alike; a text delay of 0 reveals the rest at once.
  m->SetTextPaused(true);
  s.scene.Frame(500);
  const int32_t held = m->Pages()[0]->GlyphIndex;
  s.scene.Frame(500);
  EXPECT_EQ(m->Pages()[0]->GlyphIndex, held);
  m->SetTextPaused(false);
  m->SetTextDelay(0);
  s.scene.Frame();
  s.scene.Frame();
  EXPECT_FALSE(m->Pages()[0]->IsPlaying());
  EXPECT_EQ(m->GetTextDelay(), 0);
}

TEST(MessageWindow, DrawsTheRevealedTextInsideItsBounds) {
  MesScene s;
  TKovaMes* m = s.Window();
  m->SetText("ab");
  const TRect inside{8, 8, 72, 40};
  EXPECT_EQ(s.InkPixels(TRect{0, 0, 96, 64}), 0);
  s.RunOut(*m);
  s.scene.root.ActiveBase()->InvalidateAll();
  s.scene.Frame();
  const int ink = s.InkPixels(inside);
  EXPECT_GT(ink, 0);
  EXPECT_EQ(s.InkPixels(TRect{0, 0, 96, 64}), ink);
  // Only the first two cells hold ink, in the font colour.
  EXPECT_EQ(s.InkPixels(TRect{8 + 32, 8, 72, 40}), 0);
  EXPECT_GE(s.scene.Pixel(8 + 8, 8 + 8) & 0xFF, 0xF0u);
  // Hidden, or emptied, it draws nothing.
  m->SetVisible(false);
  s.scene.root.ActiveBase()->InvalidateAll();
  s.scene.Frame();
  EXPECT_EQ(s.InkPixels(inside), 0);
  m->SetVisible(true);
  m->SetText("");
  s.scene.root.ActiveBase()->InvalidateAll();
  s.scene.Frame();
  EXPECT_EQ(s.InkPixels(inside), 0);
}

TEST(MessageWindow, LinkClicksQueueTheLinkEventOnceAndCaptureLinkPassesOtherClicks) {
  MesScene s;
  auto* below = s.scene.Box("below", TRect{0, 0, 96, 64});
  below->SetOnLBtnDown("below");
  TKovaMes* m = s.Window();
  m->SetOnLink("link");
  m->SetOnLBtnDown("down");
  m->SetText("ab<A HREF=\"go\\nnow\">cd</A>");
  s.RunOut(*m);
  // Over the link (third cell): hover, then a click.
  s.scene.Input(TInputKind::Move, 8 + 40, 8 + 8);
  s.scene.Frame();
  EXPECT_NE(m->Pages()[0]->Hovered, nullptr);
  s.scene.Input(TInputKind::LDown, 8 + 40, 8 + 8);
  s.scene.Input(TInputKind::LUp, 8 + 40, 8 + 8);
  auto events = s.scene.Frame(16, true);
  EXPECT_EQ(events, std::vector<std::string>{"mes 46 link cd go now"});
  // A second click while the link event waits goes to the control's own handling.
  s.scene.Input(TInputKind::LDown, 8 + 40, 8 + 8);
  s.scene.Input(TInputKind::LUp, 8 + 40, 8 + 8);
  events = s.scene.Frame(16, true);
  EXPECT_EQ(events.back().substr(0, 12), "mes 36 down ");
  s.scene.Frame();  // the release ends the press the window took
  s.scene.root.Events().Clear();
  // With CaptureLink a click on plain text reaches the box beneath; one on the link does not.
  m->SetCaptureLink(true);
  s.scene.Input(TInputKind::LDown, 8 + 8, 8 + 8);
  s.scene.Input(TInputKind::LUp, 8 + 8, 8 + 8);
  events = s.scene.Frame();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().substr(0, 15), "below 36 below ");
  s.scene.Frame();
  s.scene.Input(TInputKind::LDown, 8 + 40, 8 + 8);
  s.scene.Input(TInputKind::LUp, 8 + 40, 8 + 8);
  events = s.scene.Frame();
  EXPECT_EQ(events, std::vector<std::string>{"mes 46 link cd go now"});
}

TEST(MessageWindow, NoHoverWhileTheTextIsRevealing) {
  MesScene s;
  TKovaMes* m = s.Window();
  m->SetText("<WAIT VALUE=1000><A HREF=x>abcd</A>");
  s.scene.Frame();
  s.scene.Frame();
  s.scene.Input(TInputKind::Move, 8 + 4, 8 + 8);
  s.scene.Frame();
  EXPECT_EQ(m->Pages()[0]->Hovered, nullptr);
}

// The message-window part of a record of data version `version`, after the control's fields.
void WriteMesFields(test::LeWriter& w, int32_t version, const std::string& text) {
  // The document's settings (border colour from 110, border and shadow widths from 111).
  w.I32(0).I32(0).I32(16).Str("F").I32(0xFFFFFF).I32(32).I32(64).I32(3).I32(0).U8(1);
  w.I32(0xFF0000).I32(0x8000).I32(1).I32(0x808080).I32(255).U8(0).I32(0).I32(0).I32(256).U8(0);
  if (version >= 110) w.I32(0);
  if (version >= 111) w.I32(0).I32(0);
  w.I32(0);                      // message data: no legacy pages
  if (version >= 113) w.I32(0).I32(0);  // no segments, total height 0
  w.U8(0);                       // history flag
  if (version >= 113) w.I32(0);  // start offset
  w.Str(text).I32(1).I32(0).I32(7);
  for (int i = 0; i < 3; ++i) w.Str("");
  w.Str("").Str("start").Str("end").Str("").Str("");
  w.U8(0).U8(0).I32(256).U8(0).Str("").I32(0);
  if (version >= 104) w.Str("idle");
  if (version >= 120) w.U8(1);
  w.I32(0);  // no page states
}

void WriteControlFields(test::LeWriter& w, int32_t version) {
  w.Str("old").I32(0);
  if (version >= 104) w.I32(0);
  if (version >= 120) w.Str("");
  w.I32(8).I32(8).I32(64).I32(32).I32(0).I32(0).Flag(false);
  if (version >= 104) w.I32(0).I32(0).I32(0).I32(0).Flag(false);
  w.Flag(true).I32(0).Rect(0, 0, 1, 1).U8(0);
  w.Str("").Str("");
  if (version >= 102) w.Str("");
  for (int i = 0; i < 7; ++i) w.Str("");
  if (version >= 118) {
    w.Flag(false);
    for (int i = 0; i < 5; ++i) w.Str("");
  }
  w.I32(0);
}

TEST(MessageWindow, SaveRecordRoundTripsAndOldRecordsLoad) {
  MesScene s;
  TKovaMes* m = s.Window();
  m->SetOnPlayStart("start");
  m->SetOnPlayEnd("end");
  m->SetOnLink("link");
  m->SetOnNotify("notify");
  m->SetOnIdle("idle");
  m->SetCaptureLink(true);
  m->SetTextDelay(128);
  m->SetFontBorder(1);
  m->SetLineSpace(2);
  m->SetText("abcd<BR>efgh<BR>ijkl<BR>mno");
  s.scene.root.Events().Clear();
  for (int i = 0; i < 4; ++i) s.scene.Frame();
  m->SetIndex(1);
  for (int i = 0; i < 4; ++i) s.scene.Frame();
  s.scene.root.Events().Clear();
  TMemoryStream stream;
  m->SaveToStream(stream);

  TKovaMes* copy = s.Window("copy");
  stream.SetPosition(0);
  ASSERT_NO_THROW(copy->LoadFromStream(stream, 129));
  EXPECT_EQ(stream.GetPosition(), stream.Size());
  EXPECT_TRUE(s.scene.root.Events().Count() == 0);  // a load queues nothing
  TMemoryStream again;
  copy->SaveToStream(again);
  EXPECT_EQ(Bytes(again), Bytes(stream));
  EXPECT_EQ(copy->GetIndex(), 1);
  EXPECT_EQ(copy->GetText(), m->GetText());
  EXPECT_EQ(copy->Pages()[1]->GlyphIndex, m->Pages()[1]->GlyphIndex);
  EXPECT_EQ(copy->Pages()[1]->RowIndex, m->Pages()[1]->RowIndex);
  EXPECT_TRUE(copy->GetCaptureLink());
  EXPECT_EQ(copy->GetOnNotify(), "notify");
  // A truncated record raises.
  TMemoryStream cut;
  cut.Write(stream.Bytes().data(), stream.Size() - 3);
  cut.SetPosition(0);
  EXPECT_ANY_THROW(s.Window("cut")->LoadFromStream(cut, 129));

  // Old versions: 119 has no CaptureLink, 112 no StartOffset nor segments, 103 no OnIdle.
  for (int32_t version : {119, 112, 103}) {
    test::LeWriter w;
    WriteControlFields(w, version);
    WriteMesFields(w, version, "abcd<BR>efgh<BR>ij");
    TMemoryStream old;
    old.Write(w.Bytes().data(), int64_t(w.Bytes().size()));
    old.SetPosition(0);
    TKovaMes* loaded = s.Window("v" + std::to_string(version));
    ASSERT_NO_THROW(loaded->LoadFromStream(old, version)) << version;
    EXPECT_EQ(old.GetPosition(), old.Size()) << version;
    EXPECT_EQ(loaded->GetCount(), 2) << version;
    EXPECT_EQ(loaded->GetIndex(), 1) << version;
    EXPECT_EQ(loaded->GetText(), "ij") << version;
    EXPECT_EQ(loaded->GetScrollY(), 0) << version;
    EXPECT_EQ(loaded->GetOnPlayStart(), "start") << version;
    EXPECT_EQ(loaded->GetOnIdle(), version >= 104 ? "idle" : "") << version;
    EXPECT_FALSE(loaded->GetCaptureLink()) << version;
  }
  EXPECT_EQ(s.scene.root.Events().Count(), 0);
}

}  // namespace
}  // namespace kova
