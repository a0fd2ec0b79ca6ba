#include "tests/fake_platform.h"

#include "platform/platform.h"

namespace {
FakePlatform fake;
}

FakePlatform& ResetFakePlatform() { return fake = FakePlatform{}; }
FakePlatform& Fake() { return fake; }

std::string FakeOutput() {
  std::string output;
  for (const std::string& call : fake.calls) {
    if (call.rfind("write:", 0) == 0) output += call.substr(6);
  }
  return output;
}

uint32_t PlatformTickCount() {
  fake.calls.push_back("tick");
  if (fake.tick_readings.empty()) return fake.next_tick++;
  const uint32_t reading = fake.tick_readings.front();
  fake.tick_readings.pop_front();
  fake.next_tick = reading + 1;
  return reading;
}

void PlatformRaisePriority() { fake.calls.push_back("priority high"); }
void PlatformNormalPriority() { fake.calls.push_back("priority normal"); }
void PlatformPause(uint32_t milliseconds) {
  fake.calls.push_back("pause " + std::to_string(milliseconds));
}
void PlatformSleep(uint32_t milliseconds) {
  fake.calls.push_back("sleep " + std::to_string(milliseconds));
}

uint32_t PlatformWriteOutput(const char* bytes, uint32_t length) {
  fake.calls.push_back("write:" + std::string(bytes, length));
  return length;
}

bool PlatformReportLostOutput() {
  fake.calls.push_back("report lost output?");
  return fake.output_lost;
}

void PlatformBeginKeyWait() { fake.calls.push_back("begin key wait"); }
bool PlatformKeyWaiting() {
  fake.calls.push_back("key waiting?");
  return fake.polls_before_key-- <= 0;
}
void PlatformTakeKey() { fake.calls.push_back("take key"); }

void PlatformExitProcess(uint32_t exit_code) {
  fake.calls.push_back("exit " + std::to_string(exit_code));
  throw FakeExit{exit_code};
}
