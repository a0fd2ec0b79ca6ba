#include "stats/benchmark_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace stats {

namespace {

volatile sig_atomic_t stop_signal = 0;

void RecordStop(int signal_number) { stop_signal = signal_number; }

// Closes the descriptor when the scope ends.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

std::string Describe(int status) {
  if (WIFEXITED(status))
    return "the benchmark exited with status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) {
    return "the benchmark was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
           strsignal(WTERMSIG(status)) + ")";
  }
  return "the benchmark ended with wait status " + std::to_string(status);
}

// Waits for the child to end; a stop requested meanwhile ends it first.
int WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    if (StopSignal() != 0) kill(child, SIGTERM);
  }
  return status;
}

// The last line of a text that is not empty, without its line end.
std::string LastLine(const std::string& text) {
  const size_t end = text.find_last_not_of("\r\n");
  if (end == std::string::npos) return "";
  const size_t line_feed = text.rfind('\n', end);
  const size_t start = line_feed == std::string::npos ? 0 : line_feed + 1;
  return text.substr(start, end + 1 - start);
}

std::string ErrorText() { return std::strerror(errno); }

// When its output can no longer be read, the benchmark is stopped rather than left running.
CapturedRun Abandoned(pid_t child, const std::string& failure) {
  kill(child, SIGTERM);
  WaitFor(child);
  CapturedRun run;
  run.failure = failure;
  return run;
}

[[noreturn]] void ExecBenchmark(const std::string& benchmark, int output, int errors,
                                int exec_error) {
  const int null_input = open("/dev/null", O_RDONLY);
  dup2(null_input, STDIN_FILENO);
  dup2(output, STDOUT_FILENO);
  dup2(errors, STDERR_FILENO);
  signal(SIGINT, SIG_DFL);
  signal(SIGTERM, SIG_DFL);
  execl(benchmark.c_str(), benchmark.c_str(), static_cast<char*>(nullptr));
  const int error = errno;
  (void)!write(exec_error, &error, sizeof error);
  _exit(127);
}

}  // namespace

void InstallStopHandlers() {
  struct sigaction action = {};
  action.sa_handler = RecordStop;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a stop must interrupt the wait for the benchmark's output.
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() { return stop_signal; }

CapturedRun CaptureOneRun(const std::string& benchmark, const std::function<void()>& waiting) {
  CapturedRun run;
  int output_pipe[2], errors_pipe[2], error_pipe[2];
  if (pipe2(output_pipe, O_CLOEXEC) != 0 || pipe2(errors_pipe, O_CLOEXEC) != 0 ||
      pipe2(error_pipe, O_CLOEXEC) != 0) {
    run.failure = std::string("cannot create a pipe: ") + std::strerror(errno);
    return run;
  }
  Descriptor output(output_pipe[0]), output_end(output_pipe[1]);
  Descriptor errors(errors_pipe[0]), errors_end(errors_pipe[1]);
  Descriptor exec_error(error_pipe[0]), exec_error_end(error_pipe[1]);
  const pid_t child = fork();
  if (child < 0) {
    run.failure = std::string("cannot start the benchmark: ") + std::strerror(errno);
    return run;
  }
  if (child == 0) {
    ExecBenchmark(benchmark, output_end.get(), errors_end.get(), exec_error_end.get());
  }
  output_end.reset();
  errors_end.reset();
  exec_error_end.reset();

  int error = 0;
  ssize_t got;
  while ((got = read(exec_error.get(), &error, sizeof error)) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof error)) {
    WaitFor(child);
    run.failure = "cannot start " + benchmark + ": " + std::strerror(error);
    return run;
  }

  // Both streams are read as they come, so that neither can fill up and stall the benchmark.
  pollfd streams[2] = {{output.get(), POLLIN, 0}, {errors.get(), POLLIN, 0}};
  std::string* collected[2] = {&run.output, &run.errors};
  while (streams[0].fd >= 0 || streams[1].fd >= 0) {
    if (StopSignal() != 0) {
      kill(child, SIGTERM);
      WaitFor(child);
      run.outcome = CapturedRun::STOPPED;
      return run;
    }
    const int ready = poll(streams, 2, 1000);
    if (ready < 0 && errno != EINTR) {
      return Abandoned(child, "cannot wait for the benchmark's output: " + ErrorText());
    }
    if (ready == 0) waiting();
    if (ready <= 0) continue;
    for (int stream = 0; stream < 2; ++stream) {
      if (streams[stream].revents == 0) continue;
      char bytes[4096];
      const ssize_t count = read(streams[stream].fd, bytes, sizeof bytes);
      if (count > 0) {
        collected[stream]->append(bytes, static_cast<size_t>(count));
      } else if (count == 0) {
        streams[stream].fd = -1;
      } else if (errno != EINTR) {
        return Abandoned(child, "cannot read the benchmark's output: " + ErrorText());
      }
    }
  }
  const int status = WaitFor(child);
  if (StopSignal() != 0) {
    run.outcome = CapturedRun::STOPPED;
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    run.outcome = CapturedRun::COMPLETED;
  } else {
    run.failure = Describe(status);
    const std::string said = LastLine(run.errors);
    if (!said.empty()) run.failure += "; it said: " + said;
  }
  return run;
}

}  // namespace stats
