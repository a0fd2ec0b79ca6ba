// A platform that records every call instead of touching the system, linked in place of the real
// one. The counter returns scripted readings, then keeps counting from the last one.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct FakeExit {
  uint32_t exit_code;
};

struct FakePlatform {
  std::vector<std::string> calls;  // "write:<bytes>", "pause 100", "priority high", ...
  std::deque<uint32_t> tick_readings;
  uint32_t next_tick = 0;
  int polls_before_key = 0;
  bool output_lost = false;  // what PlatformReportLostOutput answers
};

// Resets the record and the script; each test starts from here.
FakePlatform& ResetFakePlatform();
FakePlatform& Fake();

// All bytes written, in order.
std::string FakeOutput();
