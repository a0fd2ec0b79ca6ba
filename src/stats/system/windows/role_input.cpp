#include "stats/system/windows/role_input.h"

#include <memory>

#include "stats/system/windows/child_start.h"

namespace stats {

namespace {

// The writer's own: it outlives an InputRest that stopped waiting for it.
struct Pending {
  OwnedHandle write_end;
  std::string rest;
};

DWORD WINAPI WriteRest(void* pending) {
  const std::unique_ptr<Pending> owned(static_cast<Pending*>(pending));
  WriteAllTo(owned->write_end.get(), owned->rest);
  return 0;
}

}  // namespace

InputRest::~InputRest() {
  if (!thread_) return;
  // A child that could not be ended may still hold the read end and never read: the write is
  // called off rather than waited on for ever, and where the system cannot call it off the thread
  // is left to end when that child does.
  for (int tries = 0; tries < 20 && WaitForSingleObject(thread_.get(), 50) == WAIT_TIMEOUT; ++tries)
    CancelSynchronousIo(thread_.get());
}

bool InputRest::Start(OwnedHandle write_end, std::string rest) {
  DWORD wait = PIPE_WAIT;
  if (!SetNamedPipeHandleState(write_end.get(), &wait, nullptr, nullptr)) return false;
  auto pending = std::make_unique<Pending>(Pending{std::move(write_end), std::move(rest)});
  thread_.reset(CreateThread(nullptr, 64 * 1024, WriteRest, pending.get(), 0, nullptr));
  if (thread_) pending.release();
  return static_cast<bool>(thread_);
}

DWORD PipeHolding(const std::string& message, OwnedHandle& read_end, InputRest& rest) {
  OwnedHandle write_end;
  if (!MakePipe(read_end, write_end, static_cast<DWORD>(message.size() + 1)) ||
      !SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT) ||
      !SetHandleInformation(write_end.get(), HANDLE_FLAG_INHERIT, 0))
    return GetLastError();
  DWORD no_wait = PIPE_NOWAIT;
  if (!SetNamedPipeHandleState(write_end.get(), &no_wait, nullptr, nullptr)) return GetLastError();
  size_t written = 0;
  DWORD count = 1;
  while (written < message.size() && count != 0) {
    if (!WriteFile(write_end.get(), message.data() + written,
                   static_cast<DWORD>(message.size() - written), &count, nullptr))
      return GetLastError();
    written += count;
  }
  if (written < message.size() && !rest.Start(std::move(write_end), message.substr(written)))
    return GetLastError();
  return 0;
}

}  // namespace stats
