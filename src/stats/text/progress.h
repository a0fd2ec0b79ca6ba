// One progress line on a terminal's standard error, rewritten in place; nothing at all when
// standard error is not a terminal, so logs and pipes stay clean.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <utility>

namespace stats {

// The time left at the pace between the first count seen and the latest, or a negative duration
// while there is no pace yet: what happened before the first count (starting a child, placing
// and calibrating code) is not the pace of the counted items.
std::chrono::steady_clock::duration TimeLeft(size_t first_done,
                                             std::chrono::steady_clock::time_point first_at,
                                             size_t last_done,
                                             std::chrono::steady_clock::time_point last_at,
                                             std::chrono::steady_clock::time_point now,
                                             size_t total);

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
  // What is counted from the next Show on.
  void Rename(std::string item) { item_ = std::move(item); }
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  // The clock less the time this process was stopped by Ctrl-Z: neither elapsed nor a pace.
  static Clock::time_point Now();
  std::string item_;
  bool on_terminal_;
  bool shown_ = false;
  Clock::time_point start_ = Now(), first_done_at_, last_done_at_, last_shown_at_;
  bool counted_ = false;
  size_t first_done_ = 0, last_done_ = 0;
};

}  // namespace stats
