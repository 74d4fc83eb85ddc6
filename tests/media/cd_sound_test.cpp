// A sound component playing a CD track through the CD manager over an in-memory drive: saved
// while it plays, it plays again after the scene loads, from where it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "media/audio_bus.h"
#include "media/cd_items.h"
#include "media/fake_cd.h"
#include "media/kova_sound.h"
#include "media/media_backend.h"
#include "media/media_layer.h"
#include "platform/audio_device.h"
#include "support/fake_script_host.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

constexpr int32_t kVersion = 129;

class CdSoundTest : public ::testing::Test {
 protected:
  CdSoundTest() {
    std::string error;
    EXPECT_TRUE(bus.Open(error)) << error;
    drives.Add("D:", {10, 10});
    RegisterSoundKind(scene.globals.Kinds(), media);
    media.Install(TMediaKind::Cdda, std::make_unique<TCddaManager>(TCddaParts{&drives, &backend, {}}));
  }
  ~CdSoundTest() override { media.Stop(); }

  TCddaManager& Cd() { return static_cast<TCddaManager&>(*media.Manager(TMediaKind::Cdda)); }
  // Frames of 20 ms of scene and sound; the last frame's left sample.
  int16_t Run(int32_t ms) {
    int16_t last = 0;
    for (int32_t t = 0; t < ms; t += 20) {
      scene.Frame(20);
      std::vector<int16_t> samples(20 * 441 / 10 * 2);
      bus.Mix(samples, true);
      now += 20;
      Cd().Poll(now);
      last = samples[samples.size() - 2];
    }
    return last;
  }

  plat::TNullAudioDevice device;
  TAudioBus bus{device};
  TMediaBackend backend{bus, TVoiceDecoders{}};
  test::TFakeCdDrives drives;
  uint32_t now = 0;
  test::FakeScriptHost host;
  TParamCollection store{host.Ports(), &host.Interpreter()};
  TMediaLayer media;
  test::SceneDriver scene{test::SceneWiring{.store = &store}};
};

TEST_F(CdSoundTest, ACdTrackPlayingAtTheSavePlaysAgainAfterTheLoad) {
  auto* sound = static_cast<TKovaSound*>(scene.root.CreateComponent(KT_SOUND));
  sound->SetName("bgm");
  sound->SetSource("CD_2");
  sound->SetPlayState(TKovaSound::kPlay);
  EXPECT_EQ(Run(2500), test::CdToneLeft(2));

  TMemoryStream saved;
  scene.root.SaveToStream(saved);
  saved.SetPosition(0);
  scene.root.LoadFromStream(saved, kVersion);
  ASSERT_EQ(Cd().Items().size(), 1u);
  auto* item = static_cast<TCddaItem*>(Cd().Items().front().get());
  EXPECT_EQ(item->TrackNumber(), 2);
  EXPECT_TRUE(item->IsPlaying());
  EXPECT_GE(item->GetPosition(), 2000);
  EXPECT_LE(item->GetPosition(), 2500);
  EXPECT_EQ(Run(100), test::CdToneLeft(2));
  EXPECT_EQ(drives.opens, std::vector<int32_t>{2});  // the chosen drive opened again, no search
}

}  // namespace
}  // namespace kova
