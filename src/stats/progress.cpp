#include "stats/progress.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>

#include "stats/format.h"

namespace stats {

ProgressLine::ProgressLine(std::string item)
    : item_(std::move(item)), on_terminal_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(size_t done, size_t total) {
  const Clock::time_point now = Clock::now();
  if (done != last_done_) {
    last_done_ = done;
    last_done_at_ = now;
  }
  if (!on_terminal_ || (shown_ && now - last_shown_at_ < std::chrono::milliseconds(500))) return;
  std::string left = "estimating time left";
  if (done > 0) {
    const Clock::duration per_item = (last_done_at_ - start_) / done;
    const Clock::duration remaining =
        per_item * static_cast<long>(total - done) - (now - last_done_at_);
    left = "about " + MinutesAndSeconds(std::max(remaining, Clock::duration::zero())) + " left";
  }
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
