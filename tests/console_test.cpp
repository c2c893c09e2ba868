#include "output/console.h"
#include "zones/address.h"
#include "test_support.h"

#include <string>
#include <vector>

#include <chrono>
#include <ctime>
#include <thread>

#include <gtest/gtest.h>

namespace {

// A clock that hands out the given digits in turn and counts its readings.
struct ScriptedClock {
  std::string digits;
  std::size_t reads = 0;
  char operator()() { return digits.at(reads++); }
};

struct Call {
  const char* address;
  const char* digits;  // what the clock shows at this call's readings
  bool shown;
};

void Drive(const std::vector<Call>& calls, char expectedLast) {
  char last = '\0';
  for (const Call& call : calls) {
    ScriptedClock clock{call.digits};
    std::vector<std::string> shown;
    StepProgressTitle(last, Q(call.address), clock,
                      [&](Ipv4Value a) { shown.push_back(FormatDottedQuad(a)); });
    EXPECT_EQ(!shown.empty(), call.shown) << call.address;
    EXPECT_EQ(clock.reads, call.shown ? 2u : 1u) << call.address;
    if (call.shown) {
      EXPECT_EQ(shown, std::vector<std::string>{call.address});
    }
  }
  EXPECT_EQ(last, expectedLast);
}

TEST(ProgressTitle, RateLimitedBySecondsDigit) {
  // The first call always shows, whatever the clock reads.
  Drive({{"10.0.0.1", "00", true}}, '0');
  // Same second: unchanged, and the clock is read once only.
  Drive({{"10.0.0.1", "33", true}, {"10.0.0.2", "3", false}}, '3');
  // Ten seconds later the digit is the same again: unchanged.
  Drive({{"10.0.0.1", "44", true}, {"10.0.0.2", "4", false}, {"10.0.0.3", "55", true}}, '5');
  // The second moved on between the readings: the newer digit is kept, so
  // a call at that newer second leaves the title.
  Drive({{"10.0.0.1", "78", true}, {"10.0.0.2", "8", false}}, '8');
  // The real clock's digit follows the clock, a second apart.
  for (int i = 0; i < 2; ++i) {
    const std::time_t before = std::time(nullptr);
    const char digit = SecondsUnitsDigit();
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(digit == '0' + before % 10 || digit == '0' + after % 10) << digit;
    if (i == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1050));
  }
}

TEST(Console, EmptyLineIsOnlyTheLineEnd) {
  testing::internal::CaptureStdout();
  PrintLine("");
  PrintLine("a\r\nb");  // a text's own line ends pass unchanged
  EXPECT_EQ(testing::internal::GetCapturedStdout(), Native("\n") + "a\r\nb" + Native("\n"));
}

}  // namespace
