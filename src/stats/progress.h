// One progress line on a terminal's standard error, rewritten in place; nothing at all when
// standard error is not a terminal, so logs and pipes stay clean.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace stats {

class ProgressLine {
 public:
  // `item` names what is counted: "run 2 of 5, ..." or "sweep: measurement 12 of 16640, ...".
  explicit ProgressLine(std::string item);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  ~ProgressLine() { Clear(); }

  // `done` of `total` items finished; shows the one under way, the time elapsed and a guess of
  // the time left from the pace so far. Rewritten at most twice a second.
  void Show(size_t done, size_t total);
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::string item_;
  bool on_terminal_;
  bool shown_ = false;
  Clock::time_point start_ = Clock::now(), last_done_at_ = start_, last_shown_at_;
  size_t last_done_ = 0;
};

}  // namespace stats
