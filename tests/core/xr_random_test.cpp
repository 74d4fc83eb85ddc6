#include "core/xr_random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/errors.h"

namespace kova {
namespace {

// The draw as a plain list: remove entry (state mod entries left) and shift the rest up.
class NaiveDraw {
 public:
  explicit NaiveDraw(uint32_t seed) : seed_(seed) {}
  uint32_t Raw() { return state_ = state_ * 5u + seed_; }
  void SetRange(int32_t n) {
    list_.clear();
    for (int32_t i = 0; i < n; ++i) list_.push_back(i);
  }
  int32_t Next() {
    uint32_t k = Raw() % static_cast<uint32_t>(list_.size());
    int32_t v = list_[k];
    list_.erase(list_.begin() + k);
    return v;
  }

 private:
  uint32_t seed_;
  uint32_t state_ = 0;
  std::vector<int32_t> list_;
};

std::vector<uint32_t> RawValues(uint32_t seed, int count) {
  TXrRandom r(seed);
  std::vector<uint32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(r.Raw());
  return out;
}

std::vector<int32_t> Draws(TXrRandom& r, int count) {
  std::vector<int32_t> out;
  for (int i = 0; i < count; ++i) out.push_back(r.Next());
  return out;
}

TEST(XrRandom, RawSequence) {
  EXPECT_EQ(RawValues(1, 5), (std::vector<uint32_t>{1, 6, 31, 156, 781}));
  // The archive directory's keystream.
  EXPECT_EQ(RawValues(1436280957u, 5),
            (std::vector<uint32_t>{0x559BE87D, 0x01A772EE, 0x5DE12723, 0x2B01AC2C, 0x2CA44559}));
  std::vector<uint32_t> key = RawValues(1436280957u, 11);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(key[i] & 0x80000000u, 0u) << "value " << i + 1;
  EXPECT_EQ(key[10], 0xEB1DE85Bu);
  // Wraps modulo 2^32.
  EXPECT_EQ(RawValues(0xFFFFFFFFu, 2), (std::vector<uint32_t>{0xFFFFFFFFu, 0xFFFFFFFAu}));
}

TEST(XrRandom, DrawsWithoutRepeats) {
  TXrRandom one(1);
  one.SetRange(3);
  EXPECT_EQ(Draws(one, 3), (std::vector<int32_t>{1, 0, 2}));
  EXPECT_EQ(one.Range(), 3);
  EXPECT_EQ(one.Remaining(), 0);

  TXrRandom zero(0);
  zero.SetRange(70);
  std::vector<int32_t> in_order(70);
  for (int32_t i = 0; i < 70; ++i) in_order[i] = i;
  EXPECT_EQ(Draws(zero, 70), in_order);
}

TEST(XrRandom, RawAndNextShareOneSequenceAcrossRanges) {
  TXrRandom r(7);
  r.Raw();  // state 7
  r.SetRange(4);
  EXPECT_EQ(r.Next(), 2);  // state 42, 42 mod 4 = 2
  r.SetRange(5);           // refills, keeps the state
  EXPECT_EQ(r.State(), 42u);
  EXPECT_EQ(r.Next(), 2);  // state 217, 217 mod 5 = 2
  EXPECT_EQ(r.Raw(), 1092u);
}

TEST(XrRandom, MatchesPlainListRemoval) {
  const uint32_t seeds[] = {0, 1, 12341, 1436280957u, 0xFFFFFFFFu, 0x80000001u};
  const int32_t sizes[] = {1, 2, 63, 64, 65, 127, 128, 129, 1000, 4097, 20000};
  for (uint32_t seed : seeds) {
    for (int32_t n : sizes) {
      TXrRandom fast(seed);
      NaiveDraw naive(seed);
      // Interleave raw steps and a partial first range so that ranges start from varied states.
      fast.Raw();
      naive.Raw();
      fast.SetRange(n / 2 + 1);
      naive.SetRange(n / 2 + 1);
      for (int32_t i = 0; i < n / 3; ++i) ASSERT_EQ(fast.Next(), naive.Next());
      fast.SetRange(n);
      naive.SetRange(n);
      for (int32_t i = 0; i < n; ++i) {
        ASSERT_EQ(fast.Next(), naive.Next()) << "seed " << seed << " size " << n << " draw " << i;
        if (i % 97 == 0) {
          ASSERT_EQ(fast.Raw(), naive.Raw());
        }
      }
    }
  }
}

TEST(XrRandom, NextOnEmptyListRaises) {
  TXrRandom r(1);
  r.SetRange(0);
  EXPECT_THROW(r.Next(), EListError);
  EXPECT_EQ(r.State(), 0u);  // a refused draw does not step

  r.SetRange(-3);
  EXPECT_EQ(r.Remaining(), 0);
  EXPECT_EQ(r.Range(), -3);
  EXPECT_THROW(r.Next(), EListError);

  r.SetRange(2);
  r.Next();
  r.Next();
  EXPECT_THROW(r.Next(), EListError);

  TXrRandom fresh(5);
  EXPECT_THROW(fresh.Next(), EListError);
}

}  // namespace
}  // namespace kova
