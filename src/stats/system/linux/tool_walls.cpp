#include "stats/system/tool_walls.h"

#include <fcntl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "stats/system/files.h"
#include "stats/system/linux/child_start.h"
#include "stats/system/linux/descriptors.h"

// Older C libraries lack the names; the numbers are the same on every architecture.
#ifndef SYS_landlock_create_ruleset
#define SYS_landlock_create_ruleset 444
#define SYS_landlock_add_rule 445
#define SYS_landlock_restrict_self 446
#endif

namespace stats {

namespace {

// Every right on files that each version of the kernel's interface knows, in its order; those of a
// newer version than the kernel's are left out, since it refuses rights it does not know.
constexpr uint64_t FS_EXECUTE = 1ULL << 0, FS_WRITE_FILE = 1ULL << 1, FS_READ_FILE = 1ULL << 2,
                   FS_READ_DIR = 1ULL << 3, FS_REMOVE_FILE = 1ULL << 5, FS_MAKE_REG = 1ULL << 8,
                   FS_TRUNCATE = 1ULL << 14, FS_IOCTL_DEV = 1ULL << 15;
constexpr uint64_t FS_KNOWN_BY_VERSION[] = {
    0, (1ULL << 13) - 1, (1ULL << 14) - 1, (1ULL << 15) - 1, (1ULL << 15) - 1, (1ULL << 16) - 1};
// The rights a rule on a file, not a folder, may grant.
constexpr uint64_t FS_ON_A_FILE =
    FS_EXECUTE | FS_WRITE_FILE | FS_READ_FILE | FS_TRUNCATE | FS_IOCTL_DEV;

// The system's programs and libraries, which every tool loads; and the loader's own files.
constexpr const char* SYSTEM_FOLDERS[] = {"/usr",   "/bin",   "/sbin",  "/lib",
                                          "/lib64", "/lib32", "/libx32"};
constexpr const char* LOADER_FILES[] = {"/etc/ld.so.cache", "/etc/ld.so.preload"};

// The kernel's version of the wall; 0 for none; minus the errno of a kernel that would not say.
int WallVersion() {
  static const int version = [] {
    if (EnvironmentValue("ABSBENCH_NO_LANDLOCK") == "1") return 0;
    const long said =
        syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (said >= 0) return static_cast<int>(said);
    return errno == ENOSYS || errno == EOPNOTSUPP ? 0 : -errno;
  }();
  return version;
}

// The rules, made before the fork: between fork and exec the child only enters them.
class Ruleset {
 public:
  // `version` below 0: the kernel's errno when asked for its version.
  explicit Ruleset(int version) {
    if (version < 0) {
      error_ = std::strerror(-version);
      return;
    }
    const size_t newest = sizeof FS_KNOWN_BY_VERSION / sizeof FS_KNOWN_BY_VERSION[0] - 1;
    handled_ = FS_KNOWN_BY_VERSION[static_cast<size_t>(version) < newest ? version : newest];
    const landlock_ruleset_attr attributes = {handled_};
    fd_.reset(
        static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0)));
    if (fd_.get() < 0) error_ = std::strerror(errno);
  }
  // Grants `access` beneath `path`; one that is not there is passed over.
  void Allow(const std::string& path, uint64_t access) {
    if (!error_.empty()) return;
    const Descriptor place(open(path.c_str(), O_PATH | O_CLOEXEC));
    struct stat facts;
    if (place.get() < 0 || fstat(place.get(), &facts) != 0) return;
    landlock_path_beneath_attr rule = {};
    rule.allowed_access = access & handled_ & (S_ISDIR(facts.st_mode) ? ~0ULL : FS_ON_A_FILE);
    rule.parent_fd = place.get();
    if (syscall(SYS_landlock_add_rule, fd_.get(), LANDLOCK_RULE_PATH_BENEATH, &rule, 0) != 0)
      error_ = path + ": " + std::strerror(errno);
  }
  int fd() const { return fd_.get(); }
  const std::string& error() const { return error_; }

 private:
  Descriptor fd_;
  uint64_t handled_ = 0;
  std::string error_;
};

// Where the child's execvp will find `name`, so that the program itself may run wherever it is.
std::string ProgramFound(const std::string& name, bool search_path) {
  if (!search_path || name.find('/') != std::string::npos) return name;
  std::istringstream folders(EnvironmentValue("PATH"));
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && IsExecutable(folder + "/" + name)) return folder + "/" + name;
  }
  return name;
}

}  // namespace

bool ToolsWalledIn() { return WallVersion() != 0; }

ChildRun RunWalledProgram(std::vector<std::string> words, const ChildLimits& limits,
                          bool search_path, const std::string& folder) {
  const int version = WallVersion();
  if (version == 0) return RunProgram(std::move(words), limits, search_path);
  Ruleset rules(version);
  for (const char* system : SYSTEM_FOLDERS)
    rules.Allow(system, FS_READ_FILE | FS_READ_DIR | FS_EXECUTE);
  for (const char* file : LOADER_FILES) rules.Allow(file, FS_READ_FILE);
  const std::string program = ProgramFound(words[0], search_path);
  rules.Allow(program, FS_READ_FILE | FS_EXECUTE);
  // A tool installed outside the system's folders (/opt/llvm/bin) loads its libraries from
  // beside it (/opt/llvm/lib): those folders, never the whole prefix, which may be a home.
  if (char* real = realpath(program.c_str(), nullptr)) {
    const std::string found(real);
    std::free(real);
    const std::string folder = found.substr(0, found.rfind('/'));
    const std::string prefix = folder.substr(0, folder.rfind('/'));
    for (const std::string& beside : {prefix + "/lib", prefix + "/lib64"}) {
      if (!prefix.empty() && access(beside.c_str(), F_OK) == 0)
        rules.Allow(beside, FS_READ_FILE | FS_READ_DIR | FS_EXECUTE);
    }
  }
  if (!folder.empty()) {
    rules.Allow(folder, FS_READ_FILE | FS_READ_DIR | FS_WRITE_FILE | FS_MAKE_REG | FS_REMOVE_FILE |
                            FS_TRUNCATE);
  }
  if (!rules.error().empty()) {
    ChildRun run;
    run.failure = "cannot wall " + words[0] + " in to its own files: " + rules.error();
    return run;
  }
  return RunProgramWithin(std::move(words), limits, search_path, rules.fd());
}

bool EnterWalls(int walls) {
  // No new privileges first: the kernel lets no other process restrict itself.
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         syscall(SYS_landlock_restrict_self, walls, 0) == 0;
}

}  // namespace stats
