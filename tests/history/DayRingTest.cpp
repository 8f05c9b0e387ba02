// The day's ring and its column reduction, checked against a plain scan of every reading.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "qrvl/history/DayRing.h"

namespace qrvl::history {
namespace {

TEST(DayRing, KeepsTheNewestInFixedMemory) {
  // Whole blocks of 32: 64 readings kept, memory set at construction.
  DayRing ring(64);
  const std::size_t bytes = ring.memoryBytes();
  for (int i = 0; i < 1000; ++i) ring.append({i * 1000, {float(i), 0, 0, 0, 0, 0}});
  EXPECT_EQ(ring.size(), 64u);
  EXPECT_EQ(ring.at(0).values[0], 936.f);
  EXPECT_EQ(ring.at(63).utcMs, 999000);
  EXPECT_EQ(ring.memoryBytes(), bytes);

  // A full day at one poll a second stays within 4 MiB.
  EXPECT_LE(DayRing().memoryBytes(), 4u << 20);

  ring.append({5, {}});  // a clock set back keeps the ring in time order
  EXPECT_EQ(ring.at(63).utcMs, 999000);
}

TEST(DayRing, ColumnsShowEveryReadingOfTheirSlice) {
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    // Readings at uneven steps with gaps of minutes, some channels without a number, one
    // spike; wrapped several times in a ring smaller than what was appended.
    DayRing ring(32 * (1 + random() % 40));
    const std::int64_t spike = 3000000 - random() % 100000;
    std::int64_t t = 0, spikeAt = -1;
    float walk[kChannels] = {};
    while (t < 3000000) {
      Sample s{t, {}};
      // A random walk, so a reading of a neighbouring slice would widen a column's range.
      for (int c = 0; c < kChannels; ++c) {
        walk[c] += float(random() % 3) - 1.f;
        s.values[c] = random() % 5 == 0 ? NAN : walk[c];
      }
      if (t >= spike && (ring.size() == 0 || ring.at(ring.size() - 1).utcMs < spike)) {
        s.values[2] = 3000.f;
        spikeAt = t;
      }
      ring.append(s);
      t += random() % 500 == 0 ? 1 + random() % 120000 : 1 + random() % 200;
    }
    // Spans from a part of what the ring holds to more than all of it, a few columns or many.
    const std::int64_t held = ring.at(ring.size() - 1).utcMs - ring.at(0).utcMs;
    const std::int64_t span = 1 + held * (1 + random() % 8) / 4;
    const int columns = 1 + random() % (random() % 2 ? 8 : 400);
    const std::int64_t end = ring.at(ring.size() - 1).utcMs + std::int64_t(random() % 3) * span / 4;
    for (int channel = 0; channel < kChannels; ++channel) {
      std::vector<ColumnRange> out(columns);
      ring.reduce(end, span, columns, channel, out.data());
      for (int c = 0; c < columns; ++c) {
        const TimeRange slice = columnTime(end, span, columns, c);
        float low = INFINITY, high = -INFINITY;
        for (std::size_t i = 0; i < ring.size(); ++i) {
          const Sample& s = ring.at(i);
          if (s.utcMs <= slice.afterMs || s.utcMs > slice.untilMs || std::isnan(s.values[channel])) continue;
          low = std::min(low, s.values[channel]);
          high = std::max(high, s.values[channel]);
        }
        const bool has = low <= high;
        // The spike stands in every span and width that holds it.
        const bool spikeHere = spikeAt > slice.afterMs && spikeAt <= slice.untilMs && spikeAt >= ring.at(0).utcMs;
        ASSERT_TRUE(channel != 2 || !spikeHere || out[c].max == 3000.f);
        ASSERT_EQ(out[c].hasValue, has) << "round " << round << " column " << c;
        ASSERT_TRUE(!has || (out[c].min == low && out[c].max == high)) << "round " << round << " column " << c;
      }
    }
  }
}

}  // namespace
}  // namespace qrvl::history
