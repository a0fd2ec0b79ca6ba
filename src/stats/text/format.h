// Numbers and columns as both commands print them.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace stats {

// `text` padded with spaces to `width`, for the columns of a table.
std::string Padded(const std::string& text, size_t width, bool right_aligned);

// "12", "-3" or "12.5": a median of whole numbers is a whole number or half of one.
std::string FormatMedian(double median);

// `decimals` places; no "-0.0": a value that rounds to zero prints without a sign.
std::string Fixed(double value, int decimals);

// "+0.25", "-1.00", and "0.00" for anything that rounds to zero.
std::string Signed(double value, int decimals);

// Text that came from outside (a report, a run, the command line), fit to quote in a message:
// between `quote` marks, bytes outside printable ASCII escaped ("\x00", "\r"), and cut after
// about `shown` characters with a note of its whole length.
std::string Quoted(std::string_view text, char quote = '"', size_t shown = 60);

// Text from a user or a file as it may be shown, on a terminal or in a file: its control
// characters (C0 but, with `lines`, newline and tab; DEL; C1; those of writing direction) and
// bytes that are not UTF-8 as
// \xNN, so that it can never move a cursor, start an escape sequence or break a table's line.
std::string Shown(std::string_view text, bool lines = false);

// "1:09": whole minutes and seconds.
std::string MinutesAndSeconds(std::chrono::steady_clock::duration duration);

}  // namespace stats
