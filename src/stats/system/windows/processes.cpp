#include "stats/system/processes.h"

#include <chrono>
#include <cstdlib>

#include "stats/system/windows/child_start.h"

namespace stats {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Ends every process of the child's job, then waits for the child itself, which the kill keeps
// short. Windows has no request to end that a console program must heed, so a stop ends it too.
ChildRun Ended(ChildRun run, StartedChild& child, ChildRun::Outcome outcome) {
  TerminateJobObject(child.job.get(), 1);
  if (WaitForSingleObject(child.process.get(), 10000) != WAIT_OBJECT_0) {
    run.outcome = ChildRun::FAILED;
    run.failure = "cannot end the child process: " + SystemWords(GetLastError());
    return run;
  }
  DWORD code = 1;
  GetExitCodeProcess(child.process.get(), &code);
  run.outcome = outcome;
  run.ending = EndingOfExitCode(code);
  return run;
}

ChildRun Failed(ChildRun run, StartedChild& child, const std::string& reason) {
  run = Ended(run, child, ChildRun::FAILED);
  run.outcome = ChildRun::FAILED;
  run.failure = reason;
  return run;
}

}  // namespace

ChildRun WatchChild(StartedChild& child, const ChildLimits& limits) {
  ChildRun run;
  // Anonymous pipes cannot be waited on, so each is looked into a few hundred times a second;
  // a pipe still open is read only as far as it holds, so that none stalls the others.
  OwnedHandle* streams[3] = {&child.output, &child.errors, &child.report};
  std::string* collected[3] = {&run.output, &run.errors, &run.report};
  const int64_t deadline = limits.time_limit_ms >= 0 ? NowMs() + limits.time_limit_ms : -1;
  int64_t last_asked = NowMs(), last_waited = NowMs();
  bool ended = false;
  while (!ended || *streams[0] || *streams[1] || *streams[2]) {
    if (limits.stops_with_us && StopRequested() != StopRequest::NONE)
      return Ended(run, child, ChildRun::STOPPED);
    if (deadline >= 0 && NowMs() >= deadline) return Ended(run, child, ChildRun::TIMED_OUT);
    if (limits.still_working && NowMs() - last_asked >= 1000) {
      last_asked = NowMs();
      if (!limits.still_working()) return Ended(run, child, ChildRun::WENT_QUIET);
    }
    if (limits.waiting && NowMs() - last_waited >= 1000) {
      last_waited = NowMs();
      limits.waiting();
    }
    bool read_any = false;
    for (int stream = 0; stream < 3; ++stream) {
      if (!*streams[stream]) continue;
      DWORD waiting_bytes = 0;
      if (!PeekNamedPipe(streams[stream]->get(), nullptr, 0, nullptr, &waiting_bytes, nullptr)) {
        if (GetLastError() != ERROR_BROKEN_PIPE) {
          return Failed(run, child,
                        "cannot read the child's output: " + SystemWords(GetLastError()));
        }
        streams[stream]->reset();
        continue;
      }
      if (waiting_bytes == 0) continue;
      // Never more than one byte past the limit, over all its streams: enough to know it was
      // passed.
      const size_t room =
          limits.output_limit - (run.output.size() + run.errors.size() + run.report.size());
      char bytes[4096];
      const size_t most = room < sizeof bytes ? room + 1 : sizeof bytes;
      DWORD count = 0;
      if (!ReadFile(streams[stream]->get(), bytes,
                    static_cast<DWORD>(waiting_bytes < most ? waiting_bytes : most), &count,
                    nullptr)) {
        return Failed(run, child, "cannot read the child's output: " + SystemWords(GetLastError()));
      }
      collected[stream]->append(bytes, count);
      read_any = true;
      if (count > room) return Ended(run, child, ChildRun::OVERFLOWED);
    }
    if (read_any) continue;
    // The pipes close as the job's last process goes; until then they are looked into again,
    // not spun on.
    if (ended) Sleep(5);
    if (!ended && WaitForSingleObject(child.process.get(), 5) == WAIT_OBJECT_0) {
      ended = true;
      // Whatever it started is ended with it, as on every system, so that none holding a pipe
      // open keeps this waiting; what they wrote before stays in the pipes to be read.
      TerminateJobObject(child.job.get(), 0);
    }
  }
  DWORD code = 1;
  if (!GetExitCodeProcess(child.process.get(), &code)) {
    run.failure = "cannot learn how the child ended: " + SystemWords(GetLastError());
    return run;
  }
  run.outcome = ChildRun::ENDED;
  run.ending = EndingOfExitCode(code);
  return run;
}

ChildRun RunProgram(std::vector<std::string> words, const ChildLimits& limits, bool search_path) {
  StartedChild child = StartChild(words, search_path, limits, {});
  if (!child.failure.empty()) {
    ChildRun run;
    run.failure = child.failure;
    return run;
  }
  return WatchChild(child, limits);
}

bool Succeeded(const ChildRun& run) {
  return run.outcome == ChildRun::ENDED && run.ending.exit_code == 0;
}

void SayOnStandardError(const std::string& line) {
  WriteAllTo(GetStdHandle(STD_ERROR_HANDLE), line);
}

void ReportBytes(ReportChannel channel, const void* bytes, size_t length) {
  DWORD written = 0;
  WriteFile(reinterpret_cast<HANDLE>(channel.handle()), bytes, static_cast<DWORD>(length), &written,
            nullptr);
}

bool ReportAll(ReportChannel channel, const std::string& bytes) {
  return WriteAllTo(reinterpret_cast<HANDLE>(channel.handle()), bytes) == 0;
}

void ExitAtOnce(int code) { std::_Exit(code); }

}  // namespace stats
