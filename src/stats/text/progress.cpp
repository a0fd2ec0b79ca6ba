#include "stats/text/progress.h"

#include <algorithm>
#include <iostream>

#include "stats/system/machine.h"
#include "stats/system/stop_requests.h"
#include "stats/text/format.h"

namespace stats {

ProgressLine::ProgressLine(std::string item)
    : item_(std::move(item)), on_terminal_(StandardErrorIsTerminal()) {}

std::chrono::steady_clock::duration TimeLeft(size_t first_done,
                                             std::chrono::steady_clock::time_point first_at,
                                             size_t last_done,
                                             std::chrono::steady_clock::time_point last_at,
                                             std::chrono::steady_clock::time_point now,
                                             size_t total) {
  using Duration = std::chrono::steady_clock::duration;
  if (last_done <= first_done) return Duration(-1);
  const Duration per_item = (last_at - first_at) / static_cast<long>(last_done - first_done);
  const Duration remaining =
      per_item * static_cast<long>(total - std::min(total, last_done)) - (now - last_at);
  return std::max(remaining, Duration::zero());
}

ProgressLine::Clock::time_point ProgressLine::Now() {
  return Clock::now() - std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(StoppedSeconds()));
}

void ProgressLine::Show(size_t done, size_t total) {
  const Clock::time_point now = Now();
  if (!counted_) {
    counted_ = true;
    first_done_ = last_done_ = done;
    first_done_at_ = last_done_at_ = now;
  } else if (done != last_done_) {
    last_done_ = done;
    last_done_at_ = now;
  }
  if (!on_terminal_ || (shown_ && now - last_shown_at_ < std::chrono::milliseconds(500))) return;
  const Clock::duration remaining =
      TimeLeft(first_done_, first_done_at_, last_done_, last_done_at_, now, total);
  const std::string left = remaining < Clock::duration::zero()
                               ? "estimating time left"
                               : "about " + MinutesAndSeconds(remaining) + " left";
  std::cerr << "\r" << item_ << " " << std::min(done + 1, total) << " of " << total << ", "
            << MinutesAndSeconds(now - start_) << " elapsed, " << left << "\033[K" << std::flush;
  shown_ = true;
  last_shown_at_ = now;
}

void ProgressLine::Clear() {
  if (shown_) std::cerr << "\r\033[K" << std::flush;
  shown_ = false;
}

}  // namespace stats
