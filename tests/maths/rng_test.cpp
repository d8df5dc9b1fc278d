// The demo's random sequence is the one glibc's rand() gives unseeded: the
// worms' offsets, the random waveform and the flicker-out were made with it,
// and every platform (the browser's C library included) must draw the same.
#include <gtest/gtest.h>

#include <cstdlib>

#include "maths/rng.h"

namespace {

TEST(Rng, FollowsTheHostsUnseededRandOverALongRun) {
  std::srand(1);  // glibc's start-up state
  rng_reset();
  // The first values are the ones every glibc program sees.
  ASSERT_EQ(rng_next(), 1804289383);
  ASSERT_EQ(rng_next(), 846930886);
  std::rand();
  std::rand();
  // Far past the few hundred draws the demo makes in its whole run.
  for (int i = 0; i < 20000000; i++) {
    const int expected = std::rand();
    ASSERT_EQ(rng_next(), expected) << "draw " << i + 2;
  }
}

TEST(Rng, ResetStartsTheSequenceAgain) {
  rng_reset();
  int first[40];
  for (int &v : first) v = rng_next();
  rng_reset();
  for (int v : first) EXPECT_EQ(rng_next(), v);
}

}  // namespace
