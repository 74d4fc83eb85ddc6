// Writes the seed corpus of the film fuzz target (tools/fuzz/film_fuzz.cpp) with the film writer:
// run with KOVA_WRITE_FUZZ_CORPUS=1 after changing the writer. The test build replays the corpus
// (FuzzReplay.film); this file only makes it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/film_writer.h"

namespace kova::test {
namespace {

void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::filesystem::path folder = std::filesystem::path(KOVA_TESTS_DIR) / "fuzz" / "corpus" / "film";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// One track of every kind, linked in a chain, with a wipe in the middle.
FilmWriter EveryKind(int32_t version) {
  FilmWriter w(version);
  w.loop_start = 4;
  w.relative = true;
  FilmImage image;
  image.base.duration = 8;
  image.file_name = "a.wxa";
  w.Add(image);
  FilmLabel label;
  label.base.link = 0;
  label.text = "t";
  w.Add(label);
  FilmBox box;
  box.base.link = 1;
  w.Add(box);
  FilmWipe wipe;
  wipe.base.start = 5;
  wipe.mask_name = "m.wxa";
  w.Add(wipe);
  FilmSound sound;
  sound.file_name = "s.wav";
  w.Add(sound);
  FilmTile tile;
  tile.image.base.cycle = 3;
  w.Add(tile);
  w.Add(FilmParticle{});
  w.Add(FilmFire{});
  return w;
}

TEST(FilmCorpus, WriteSeeds) {
  const char* enabled = std::getenv("KOVA_WRITE_FUZZ_CORPUS");
  if (!enabled || std::string(enabled) != "1") GTEST_SKIP() << "set KOVA_WRITE_FUZZ_CORPUS=1 to rewrite the seeds";
  for (int32_t v : {100, 101, 103, 105, 106, 108}) Write("v" + std::to_string(v), EveryKind(v).Bytes());
  FilmWriter motion(107, "KovaMotion");
  FilmBox box;
  box.base.duration = 30;
  motion.Add(box);
  Write("motion_box", motion.Bytes());
}

}  // namespace
}  // namespace kova::test
