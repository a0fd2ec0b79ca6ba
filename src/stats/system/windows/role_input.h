// A role's message on its way into the child: a pipe holds what it can before the child starts,
// and a thread of its own writes the rest as the child reads.
#pragma once

#include <string>

#include "stats/system/windows/handles.h"

namespace stats {

// What of a message its pipe could not hold, written by a thread of its own; the thread ends once
// it is written or the pipe's read end is gone everywhere, and is waited for, within a bound, when
// this is destroyed.
class InputRest {
 public:
  InputRest() = default;
  InputRest(const InputRest&) = delete;
  InputRest& operator=(const InputRest&) = delete;
  ~InputRest();
  bool Start(OwnedHandle write_end, std::string rest);

 private:
  OwnedHandle thread_;
};

// The read end, inheritable, of a pipe that holds `message`, written without waiting as far as
// the pipe takes it, the rest left to `rest`; 0, or the error.
DWORD PipeHolding(const std::string& message, OwnedHandle& read_end, InputRest& rest);

}  // namespace stats
