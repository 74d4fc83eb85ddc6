// The save record of every component kind, against bytes written here from the record layouts:
// each loads and saves back byte for byte (so the one description read and wrote the same fields
// in the same order and sizes), and a record cut short anywhere raises EReadError.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/scene/component_factory.h"
#include "components/widgets/kova_box.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/kova_timer.h"
#include "core/errors.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/le_writer.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::LeWriter;

constexpr int32_t kVersion = 129;

// Name, priority, order, tag.
void ObjectHead(LeWriter& w) { w.Str("rec").I32(3).I32(2).Str("tag"); }

// The object's fields, then the control's, then no children. The size is the one the kind has
// after loading (kinds whose size follows their picture or text have none without a source).
void ControlHead(LeWriter& w, int32_t width = 20, int32_t height = 10) {
  ObjectHead(w);
  w.I32(3).I32(4).I32(width).I32(height).I32(1).I32(2);  // bounds and offsets
  w.Flag(true);                                    // zoomed position
  w.I32(5).I32(6).I32(7).I32(8).Flag(false);       // clip, animation paused
  w.Flag(true).I32(0x123456).Rect(1, 2, 3, 4).U8(1);  // visible, colour, aux rectangle, ignore mouse
  w.Str("cur");
  for (int i = 0; i < 9; ++i) w.Str("m" + std::to_string(i));  // mouse and wheel handlers
  w.Flag(true);
  for (int i = 0; i < 5; ++i) w.Str("k" + std::to_string(i));  // key and focus handlers
  w.I32(0);                                                      // children
}

// Alpha, zoom X, angle, flips, mask capture, zoom Y.
void CustomImageFields(LeWriter& w) { w.I32(200).I32(256).I32(90).Flag(true).Flag(false).Flag(true).I32(128); }

// Frames left, index, brightness, paused, delay expression (no operation).
void CustomImagesFields(LeWriter& w) {
  CustomImageFields(w);
  w.I32(7).I32(0).I32(-20).Flag(true).I32(0);
}

// Repeat, auto scrap, source, play-end and idle handlers.
void ImagesFields(LeWriter& w) {
  CustomImagesFields(w);
  w.Flag(true).Flag(false).Str("").Str("end").Str("idle");
}

// Quality, border width, alpha, font height, font name, colour, border colour, style, metrics,
// shadow width and colour. The alpha is the list box's own (loading it sets the lists').
void LabelList(LeWriter& w, int32_t color) {
  w.I32(3).I32(1).I32(200).I32(12).Str("font").I32(color).I32(0x10).U8(1).Fill(212, 0).I32(1).I32(0x20);
}

struct RecordCase {
  const char* name;
  uint8_t code;
  std::function<void(LeWriter&)> write;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

std::vector<RecordCase> Cases() {
  return {
      {"timer", KT_TIMER,
       [](LeWriter& w) {
         ObjectHead(w);
         w.Str("tick").I32(250).Flag(true).Flag(true).Flag(false);
       }},
      {"box", KT_BOX,
       [](LeWriter& w) {
         ControlHead(w);
         w.I32(2).I32(0xFF00).I32(128).Str("idle").Str("").Flag(true).Flag(true).Str("end").Flag(true).Flag(false);
       }},
      {"image", KT_CINEMA,
       [](LeWriter& w) {
         ControlHead(w, 0, 0);
         CustomImageFields(w);
         w.Str("").I32(200);
       }},
      {"images", KT_IMAGES,
       [](LeWriter& w) {
         ControlHead(w, 0, 0);
         ImagesFields(w);
       }},
      {"button", KT_BUTTON,
       [](LeWriter& w) {
         ControlHead(w, 0, 0);
         ImagesFields(w);
         w.Str("").Str("").I32(4).Flag(false).Flag(true).Str("notify").Str("idle2").Str("");
       }},
      {"tile", KT_TILE,
       [](LeWriter& w) {
         ControlHead(w);
         CustomImagesFields(w);
         w.I32(5).I32(-6).Str("").Str("idle").I32(3).I32(4);
       }},
      {"cg label", KT_CGLABEL,
       [](LeWriter& w) {
         ControlHead(w, 16, 9);
         w.Str("").Str("AB").Str("ABC").I32(8).I32(9).I32(2).Flag(true).U8(1).I32(100).Str("idle");
       }},
      {"edit", KT_EDIT,
       [](LeWriter& w) {
         ControlHead(w);
         w.Flag(false).Str("text").Str("font").I32(-12).U8(3).I32(0xFF).I32(0xEE).Flag(true).Str("notify");
       }},
      {"memo", KT_MEMO,
       [](LeWriter& w) {
         ControlHead(w);
         w.Flag(false).Str("text").Str("font").I32(-12).U8(3).I32(0xFF).I32(0xEE).Flag(true).U8(2).Str("notify");
       }},
      {"gauge", KT_GAUGE,
       [](LeWriter& w) {
         ControlHead(w, 20, 0);
         w.Str("").I32(-5).I32(50).I32(20).I32(128).Flag(true).U8(0).I32(40).I32(30).Flag(true).Str("idle").I32(20);
       }},
      {"label", KT_LABEL,
       [](LeWriter& w) {
         ControlHead(w);
         w.Str("font").I32(14).I32(2).U8(1).I32(128).I32(0xFF00).U8(2).Flag(true).Flag(false).Flag(true);
         w.I32(45).I32(256).Str("").Str("idle").Str("").Flag(true).Flag(false).Str("end").Flag(true).I32(512);
       }},
      {"map image", KT_MAPIMG,
       [](LeWriter& w) {
         ControlHead(w);
         w.Str("").Str("").Str("").I32(255).I32(-10).Str("in").Str("out").Flag(true).Flag(false);
         w.Str("idle").Flag(true).Str("select").I32(0);
       }},
      {"slider", KT_SLIDER,
       [](LeWriter& w) {
         ControlHead(w, 0, 0);
         w.Str("").Str("").Str("").I32(0).I32(10).I32(4).I32(2).I32(255).Flag(false).U8(1);
         w.Str("notify").Str("hold").Str("release").Str("idle").Flag(true).I32(0);
       }},
      {"scroll bar", KT_SCROLLBAR,
       [](LeWriter& w) {
         ControlHead(w, 0, 0);
         w.Str("").Str("").Str("").I32(0).I32(10).I32(4).I32(2).I32(255).Flag(false).U8(0);
         w.Str("notify").Str("hold").Str("release").Str("idle").Flag(false).I32(0).I32(5);
       }},
      {"menu", KT_MENU,
       [](LeWriter& w) {
         ControlHead(w, 8, 10);  // the margins and the border, without rows
         LabelList(w, 0xFFFFFF);
         LabelList(w, 0xFF0000);
         w.Str("").I32(2).I32(200).I32(3).I32(4).I32(1).I32(0x30).I32(5);  // text .. row count
         for (int cell = 0; cell < 9; ++cell) w.Str("").U8(uint8_t(cell % 3)).U8(uint8_t(cell / 3));
         w.Str("").Str("").I32(0).U8(1);  // scroll and check pictures, top row, alignment
         w.Str("select").Flag(false).I32(-1).I32(0);
         w.I32(30).I32(0x808080).Flag(true).Flag(false).U8(0).Str("a").Str("b").Str("c").Str("d");
       }},
      {"message window", KT_MES,
       [](LeWriter& w) {
         ControlHead(w);
         // The text settings: origin, font size and name, colour, page height and wrap width (the
         // control's), quality, line spacing, paging, link and hover colours, fade time, shadow
         // colour, alpha, paused, caret, text delay, events, border colour and width, shadow width.
         w.I32(2).I32(3).I32(16).Str("font").I32(0xFFFFFF).I32(10).I32(20).I32(3).I32(4).U8(1);
         w.I32(0xFF).I32(0xFF00).I32(100).I32(0x40).I32(255).U8(0).I32(0).I32(0).I32(60).U8(1);
         w.I32(0x50).I32(1).I32(2);
         w.I32(0).I32(0).I32(0);  // message data: no legacy page, no segment, total height
         w.U8(1).I32(0).Str("");  // history flag, start offset, text
         w.I32(0).I32(0).I32(9).Str("s1").Str("s2").Str("s3");  // index, scroll, spare fields
         w.Str("playing").Str("start").Str("end").Str("link").Str("notify");
         w.Flag(false).Flag(false).I32(60).U8(0).Str("").I32(-1).Str("idle").Flag(true);
         w.I32(0);  // the pages' states
       }},
  };
}

std::vector<uint8_t> Bytes(const TStream& stream) {
  const auto bytes = static_cast<const TMemoryStream&>(stream).Bytes();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

class RecordFormsTest : public ::testing::TestWithParam<RecordCase> {
 protected:
  RecordFormsTest() {
    // The real kinds in place of the driver's stubs.
    scene.root.Factory().Register(KT_BOX, &TComponentFactory::Make<TKovaBox>);
    scene.root.Factory().Register(KT_TIMER, &TComponentFactory::Make<TKovaTimer>);
    // The single image (a film track's picture) has no code of its own: one without a class
    // stands for it.
    scene.root.Factory().Register(KT_CINEMA, &TComponentFactory::Make<TKovaImage>);
  }

  // A new component of the case's kind (on the active layer when it is a control) loaded from
  // `bytes`.
  TKovaObject* Load(const std::vector<uint8_t>& bytes) {
    TKovaObject* c = scene.root.CreateComponent(GetParam().code);
    if (TKovaControl* control = c->AsControl()) control->SetParent(scene.root.ActiveBase());
    TMemoryStream in;
    in.Write(bytes.data(), int64_t(bytes.size()));
    in.SetPosition(0);
    c->LoadFromStream(in, kVersion);
    EXPECT_EQ(in.GetPosition(), in.Size());
    return c;
  }

  test::SceneDriver scene{kDisplay8888, 64, 48};
};

TEST_P(RecordFormsTest, LoadsAndSavesTheSameBytes) {
  LeWriter w;
  GetParam().write(w);
  TKovaObject* c = Load(w.Bytes());
  TMemoryStream out;
  c->SaveToStream(out);
  const std::vector<uint8_t> saved = Bytes(out);
  const auto diff = std::mismatch(saved.begin(), saved.end(), w.Bytes().begin(), w.Bytes().end());
  EXPECT_EQ(saved, w.Bytes()) << "first difference at byte " << (diff.first - saved.begin());

}

TEST_P(RecordFormsTest, ARecordCutShortRaisesTheReadError) {
  LeWriter w;
  GetParam().write(w);
  for (size_t n = 0; n < w.Size(); ++n) {
    EXPECT_THROW(Load(w.Truncated(n)), EReadError) << "cut at " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecordFormsTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<RecordCase>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace
}  // namespace kova
