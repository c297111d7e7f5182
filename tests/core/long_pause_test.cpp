// A pause of more than a few seconds used to be timed through a
// single-precision count of microseconds, which is exact only up to about 16
// seconds: "35m47s" came out 63 cycles long. Found by fuzzing; the input
// was "35m47s" at the C64 PAL clock.

#include <gtest/gtest.h>

#include "core/pulse_timing.h"

namespace rw {
namespace {

int64_t RecordSum(const std::vector<uint8_t>& records) {
  int64_t total = 0;
  for (size_t i = 0; i + 3 < records.size(); i += 4) total += records[i + 1] | records[i + 2] << 8 | records[i + 3] << 16;
  return total;
}

TEST(LongPause, IsExactToTheCycle) {
  struct Case {
    uint8_t machine, video;
    const char* text;
    int64_t cycles;  // seconds * 1e6 / the clock's microseconds per cycle, rounded
  };
  const Case cases[] = {
      {0, 0, "35m47s", 2115333573},
      {2, 0, "35m47s", 1903790668},
      {0, 1, "30m", 1840904936},
      {0, 0, "16.5s", 16256639},
  };
  for (const Case& c : cases) {
    const float usPerCycle = SelectClock(c.machine, c.video);
    EXPECT_EQ(PauseCycles(ParseDuration(c.text, "."), usPerCycle), c.cycles) << c.text;
    EXPECT_EQ(RecordSum(EncodePause(c.text, usPerCycle, ".")), c.cycles) << c.text;
  }
}

}  // namespace
}  // namespace rw
