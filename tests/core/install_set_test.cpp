#include "core/install_set.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/stream.h"
#include "support/install_set_builder.h"
#include "support/le_writer.h"

namespace kova {
namespace {

using test::InstallSetBuilder;
using test::LeWriter;

// A set whose every field differs from zero, so that a field read from the wrong place shows.
InstallSetBuilder FullSet(int version) {
  InstallSetBuilder b;
  b.version = version;
  b.disk_index = 2;
  b.game_key = "KEY-\x82\xA0";
  b.texts = {"t1", "t2", "t3"};
  b.flag1 = 11;
  b.text4 = "t4";
  b.flag2 = 12;
  b.text5 = "t5";
  b.value1 = -7;
  b.flag3 = 13;
  b.flag4 = 14;
  b.texts2 = {"u1", "u2"};
  b.records = {{0xFFFFFFFFu, 1, 2, 3}, {0x100000004ull, 5, 6, 7}};
  b.totals = {8, 9, 0x80000000u, 0x1000000000ull};
  b.flag5 = 15;
  b.flag6 = 16;
  b.first_list = {"f1", "f2"};
  b.complete = 1;
  b.flag7 = 17;
  b.flag8 = 18;
  b.second_list = {"s1", "", "s2"};
  b.text6 = "t6";
  return b;
}

TKovaInstallSet Load(const std::vector<uint8_t>& bytes) {
  TSpanStream stream(bytes);
  TKovaInstallSet set;
  set.LoadFromStream(stream);
  EXPECT_EQ(stream.GetPosition(), static_cast<int64_t>(bytes.size()));
  return set;
}

std::vector<std::string> ListOf(const TStringList& list) {
  std::vector<std::string> out;
  for (const TStringItem& item : list.Items()) out.push_back(item.Str);
  return out;
}

class InstallSetVersions : public ::testing::TestWithParam<int> {};

TEST_P(InstallSetVersions, ReadsTheFieldsOfItsVersionAndLeavesTheOthersEmpty) {
  const int v = GetParam();
  const TKovaInstallSet set = Load(FullSet(v).Build());
  EXPECT_EQ(set.Version, v);
  EXPECT_EQ(set.DiskIndex, 2);
  EXPECT_EQ(set.GameKey, "KEY-\x82\xA0");
  EXPECT_EQ(set.Texts[2], "t3");
  EXPECT_EQ(set.Flag2, 12);
  EXPECT_EQ(set.RecordCount, 2);
  EXPECT_EQ(set.Value1, -7);
  EXPECT_EQ(set.Texts2[1], "u2");
  ASSERT_EQ(set.Records.size(), 2u);
  // Below version 100 the numbers are 4 bytes, widened without sign.
  EXPECT_EQ(set.Records[0][0], 0xFFFFFFFFu);
  EXPECT_EQ(set.Records[1][0], v >= 100 ? 0x100000004ull : 4u);
  EXPECT_EQ(set.Totals[2], 0x80000000u);
  EXPECT_EQ(set.Totals[3], v >= 100 ? 0x1000000000ull : 0u);
  EXPECT_EQ(set.Flag5, 15);
  EXPECT_EQ(set.Flag6, v >= 101 ? 16 : 0);
  using Strings = std::vector<std::string>;
  EXPECT_EQ(ListOf(set.FirstList), (v >= 102 ? Strings{"f1", "f2"} : Strings{}));
  EXPECT_EQ(set.Complete, v >= 103 ? 1 : 0);
  EXPECT_EQ(set.Flag7, v >= 104 ? 17 : 0);
  EXPECT_EQ(set.Flag8, v >= 105 ? 18 : 0);
  EXPECT_EQ(ListOf(set.SecondList), (v >= 106 ? Strings{"s1", "", "s2"} : Strings{}));
  EXPECT_EQ(set.Text6, v >= 107 ? "t6" : "");
}

INSTANTIATE_TEST_SUITE_P(AllVersions, InstallSetVersions,
                         ::testing::Values(0, 100, 101, 102, 103, 104, 105, 106, 107));

TEST(InstallSet, WithoutSignatureReadsFromTheFirstByte) {
  // Version 0 has no signature: its first bytes are the disk index.
  LeWriter w;
  w.I32(0x6973).Str("k");  // begins with the bytes "si": no signature
  const TKovaInstallSet set = [&] {
    TSpanStream s(w.Bytes());
    TKovaInstallSet r;
    r.LoadFromStream(s);
    return r;
  }();
  EXPECT_EQ(set.Version, 0);
  EXPECT_EQ(set.DiskIndex, 0x6973);
  EXPECT_EQ(set.GameKey, "k");
}

TEST(InstallSet, SignatureDigitsThatAreNoNumberGiveVersionZero) {
  for (const char* sig : {"is1x3", "is 12", "is-01"}) {
    InstallSetBuilder b = FullSet(0);
    b.signature = sig;
    const TKovaInstallSet set = Load(b.Build());
    EXPECT_EQ(set.Version, 0) << sig;
    EXPECT_EQ(set.GameKey, "KEY-\x82\xA0") << sig;  // the signature was consumed
    EXPECT_EQ(set.Records[1][0], 4u) << sig;
  }
}

TEST(InstallSet, FirstListDropsEmptyStrings) {
  InstallSetBuilder b = FullSet(102);
  b.first_list = {"", "second"};
  EXPECT_EQ(ListOf(Load(b.Build()).FirstList), std::vector<std::string>{"second"});
}

TEST(InstallSet, ReloadingForgetsTheEarlierSet) {
  TKovaInstallSet set;
  const std::vector<uint8_t> full = FullSet(107).Build();
  TSpanStream s1(full);
  set.LoadFromStream(s1);
  const std::vector<uint8_t> old = FullSet(0).Build();
  TSpanStream s2(old);
  set.LoadFromStream(s2);
  EXPECT_EQ(set.Complete, 0);
  EXPECT_TRUE(set.SecondList.Empty());
  EXPECT_EQ(set.Text6, "");
}

TEST(InstallSet, TruncatedFileReadsWhatItHas) {
  const InstallSetBuilder b = FullSet(107);
  const std::vector<uint8_t> full = b.Build();
  const TKovaInstallSet whole = Load(full);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    const TKovaInstallSet set = Load(b.BuildTruncated(cut));
    // Past the signature, every field is read whole, cut short (a string) or still empty; none is
    // read from the wrong place.
    if (cut >= 5) {
      EXPECT_EQ(set.Version, 107);
      EXPECT_TRUE(set.DiskIndex == whole.DiskIndex || set.DiskIndex == 0);
    }
    EXPECT_TRUE(set.Complete == whole.Complete || set.Complete == 0);
    EXPECT_EQ(whole.Text6.compare(0, set.Text6.size(), set.Text6), 0);
    EXPECT_LE(set.Records.size(), 2u);
  }
  // Cut just before the complete flag: the lists are there, the flag is not.
  InstallSetBuilder before = b;
  before.complete = 0;
  before.flag7 = before.flag8 = 0;
  before.second_list.clear();
  before.text6.clear();
  const std::vector<uint8_t> head = before.Build();
  const size_t flag_at = head.size() - 4 - 4 - 3;  // complete, flag7, flag8, count 0, empty text6
  const TKovaInstallSet set = Load(b.BuildTruncated(flag_at));
  EXPECT_EQ(ListOf(set.FirstList), (std::vector<std::string>{"f1", "f2"}));
  EXPECT_EQ(set.Complete, 0);
  EXPECT_EQ(set.GameKey, whole.GameKey);
}

TEST(InstallSet, WildCountsNeverReachPastTheEnd) {
  InstallSetBuilder b = FullSet(107);
  b.record_count = 0x7FFFFFFF;
  const TKovaInstallSet huge = Load(b.Build());
  EXPECT_EQ(huge.RecordCount, 0x7FFFFFFF);
  EXPECT_LE(huge.Records.size(), b.Build().size() / 32 + 1);

  InstallSetBuilder neg = FullSet(107);
  neg.first_list.clear();
  neg.first_count = -5;
  neg.second_count = 1000000000;
  neg.second_list = {"only"};
  neg.text6.clear();
  const TKovaInstallSet set = Load(neg.Build());
  EXPECT_TRUE(set.FirstList.Empty());
  EXPECT_EQ(set.Complete, 1);  // read from its place after the negative count
  // The count asks for more: the empty last string of the file is taken as the next one.
  EXPECT_EQ(ListOf(set.SecondList), (std::vector<std::string>{"only", ""}));
  EXPECT_EQ(set.Text6, "");
}

TEST(InstallSet, MissingFileRaises) {
  TKovaInstallSet set;
  EXPECT_THROW(set.LoadFromFile("/nonexistent/install.dat"), EStreamError);
}

// ---- TFolderDiskList ----

TFolderDiskList SampleFolders() {
  TFolderDiskList list;
  list.AddFolder("BGM", 2);
  list.AddFolder("data\\movie", 3);
  list.AddFolder("Data\\Movie\\op\\", 4);
  list.AddFolder("\x95\x5C", 5);  // a folder whose last byte is the trail byte 0x5C
  return list;
}

TEST(FolderDiskList, DiskOfFindsTheDeepestListedFolder) {
  const TFolderDiskList list = SampleFolders();
  const struct {
    const char* path;
    int32_t disk;
  } cases[] = {
      {"bgm\\a.ogg", 2},
      {"BGM", 2},
      {"bgm/sub/a.ogg", 2},
      {"bgm2\\a.ogg", 0},
      {"data\\movie\\x.mpg", 3},
      {"DATA\\MOVIE\\OP\\x.mpg", 4},
      {"data\\movie\\open\\x.mpg", 3},
      {"data\\movie\\sub\\deep\\x.mpg", 3},
      {"data\\x.mpg", 0},
      {"a.ogg", 0},
      {"", 0},
      {"\x95\x5C\\pic.bmp", 5},
      {"\x95\x5Cpic.bmp", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(list.DiskOf(c.path), c.disk) << c.path;
  EXPECT_EQ(TFolderDiskList().DiskOf("bgm\\a.ogg"), 0);
}

TEST(FolderDiskList, StreamFormRoundTrips) {
  const TFolderDiskList list = SampleFolders();
  TMemoryStream stream;
  list.SaveToStream(stream);
  LeWriter expected;
  expected.I32(4).Str("BGM").I32(2).Str("data\\movie").I32(3).Str("Data\\Movie\\op\\").I32(4)
      .Str("\x95\x5C").I32(5);
  EXPECT_EQ(std::vector<uint8_t>(stream.Bytes().begin(), stream.Bytes().end()), expected.Bytes());

  TFolderDiskList loaded;
  loaded.AddFolder("stale", 9);
  stream.SetPosition(0);
  loaded.LoadFromStream(stream);
  ASSERT_EQ(loaded.Count(), 4);
  EXPECT_EQ(loaded.Strings(1), "data\\movie");
  EXPECT_EQ(loaded.Disks(3), 5);
  EXPECT_EQ(loaded.DiskOf("data\\movie\\x"), 3);
}

TEST(FolderDiskList, BadCountsRaiseWhenCheckedAndStopWhenLenient) {
  LeWriter w;
  w.I32(1000).Str("a").I32(1);
  TSpanStream checked(w.Bytes());
  TFolderDiskList list;
  EXPECT_THROW(list.LoadFromStream(checked), EReadError);

  TSpanStream lenient(w.Bytes());
  list.LoadFromStream(lenient, TReadMode::Lenient);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Disks(0), 1);

  LeWriter neg;
  neg.I32(-1);
  TSpanStream negative(neg.Bytes());
  EXPECT_THROW(list.LoadFromStream(negative), EReadError);
}

}  // namespace
}  // namespace kova
