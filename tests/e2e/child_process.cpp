#include "tests/e2e/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

int LineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

int WaitOrKill(pid_t pid, std::chrono::seconds limit, long* peak_memory_kb) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  rusage usage = {};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      ADD_FAILURE() << "the program was still running after " << limit.count() << " s";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (peak_memory_kb != nullptr) *peak_memory_kb = usage.ru_maxrss;
  return status;
}

std::vector<std::string> TargetCommand(const std::string& program) {
  const std::string emulator = TARGET_EMULATOR;
  if (emulator.empty()) return {program};
  return {emulator, program};
}

std::vector<std::string> QuickBenchmark() { return TargetCommand(QUICK_BENCHMARK_PATH); }

std::vector<std::string> StatsCommand(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = TargetCommand(STATS_PATH);
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

void Exec(const std::vector<std::string>& command) {
  std::vector<char*> arguments;
  for (const std::string& argument : command)
    arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  closefrom(STDERR_FILENO + 1);
  execvp(arguments[0], arguments.data());
  _exit(127);
}

pid_t StartQuietly(const std::vector<std::string>& command) {
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
    Exec(command);
  }
  return pid;
}

FinishedRun RunCommand(const std::vector<std::string>& command, Input input,
                       std::chrono::seconds limit, const std::string& output_path) {
  char directory[] = "/tmp/absbench-e2e-XXXXXX";
  if (mkdtemp(directory) == nullptr) {
    ADD_FAILURE() << "no temporary directory";
    return {};
  }
  const std::string collected_path = std::string(directory) + "/stdout";
  const std::string errors_path = std::string(directory) + "/stderr";
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (input == Input::DEV_NULL) {
      dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    } else {
      close(STDIN_FILENO);
    }
    const std::string& to = output_path.empty() ? collected_path : output_path;
    dup2(open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
    dup2(open(errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
    Exec(command);
  }
  FinishedRun run;
  run.status = WaitOrKill(pid, limit, &run.peak_memory_kb);
  run.took = std::chrono::steady_clock::now() - start;
  run.output = ReadFile(collected_path);
  run.errors = ReadFile(errors_path);
  unlink(collected_path.c_str());
  unlink(errors_path.c_str());
  rmdir(directory);
  return run;
}

std::string TemporaryDirectory() {
  char directory[] = "/tmp/absbench-stats-XXXXXX";
  return mkdtemp(directory) != nullptr ? directory : "";
}

std::vector<std::string> FilesIn(const std::string& directory) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(directory.c_str())) {
    while (const dirent* entry = readdir(listing)) {
      if (entry->d_name[0] != '.') names.push_back(entry->d_name);
    }
    closedir(listing);
  }
  return names;
}
