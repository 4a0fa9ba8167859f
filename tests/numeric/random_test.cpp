// The generators must follow their rules to the bit, or replicates could not
// be reproduced.
#include <gtest/gtest.h>

#include "numeric/random.h"
#include "randomization/permutation.h"

namespace kalveno {
namespace {

TEST(UniformDeviate, FollowsItsSequenceFromMinusOne) {
  Random rng;
  rng.random_state = -1;
  const double expected[] = {0.4159993566572666, 0.09196489071473479, 0.75641048559919, 0.5297001930885017,
                             0.930436494294554};
  for (double value : expected) EXPECT_EQ(uniform_deviate(rng), value);
  EXPECT_EQ(rng.random_state, 1399125485);
}

TEST(UniformDeviate, BuildsFromStateOneWhenTheFirstStateIsZeroOrPositive) {
  Random reference;
  reference.random_state = -1;
  double first = uniform_deviate(reference);
  for (int start : {0, 12345}) {
    Random rng;
    rng.random_state = start;
    EXPECT_EQ(uniform_deviate(rng), first) << start;
  }
}

TEST(UniformDeviate, RestartsTheSequenceOfANewNegativeSeed) {
  Random rng;
  rng.random_state = -7;
  double first = uniform_deviate(rng);
  uniform_deviate(rng);
  rng.random_state = -7;
  EXPECT_EQ(uniform_deviate(rng), first);
}

TEST(UniformDeviate, StaysInsideTheOpenInterval) {
  Random rng;
  rng.random_state = -3900;
  for (int i = 0; i < 100000; ++i) {
    double u = uniform_deviate(rng);
    ASSERT_GT(u, 0.0);
    ASSERT_LE(u, 0.9999998807907104);
  }
}

TEST(LcgRand, GivesTheSameValuesInEveryRun) {
  Random rng;
  const int expected[] = {41, 18467, 6334, 26500, 19169, 15724};
  for (int value : expected) EXPECT_EQ(lcg_rand(rng), value);
}

TEST(ShuffleRange, DrawsOncePerPositionButTheLast) {
  Random shuffled, counted;
  shuffled.random_state = counted.random_state = -11;
  RangedVector<int> vec = identity_permutation(6);
  shuffle_range(vec, 1, 6, shuffled);
  for (int i = 0; i < 5; ++i) uniform_deviate(counted);
  EXPECT_EQ(uniform_deviate(shuffled), uniform_deviate(counted));
  // A single element consumes nothing.
  Random single;
  single.random_state = -11;
  shuffle_range(vec, 3, 3, single);
  EXPECT_EQ(single.random_state, -11);
}

TEST(ClockSeed, MultipliesTheNonZeroFieldsOfTheTime) {
  auto at = [](int h, int m, int s) {
    std::tm t{};
    t.tm_hour = h;
    t.tm_min = m;
    t.tm_sec = s;
    return seed_from_time(t);
  };
  EXPECT_EQ(at(23, 59, 59), 80063);
  EXPECT_EQ(at(13, 25, 12), 3900);
  EXPECT_EQ(at(0, 0, 0), 1);
  EXPECT_EQ(at(10, 0, 0), 10);
}

}  // namespace
}  // namespace kalveno
