// System calls linked through --wrap, each made to fail while its switch is on.
#pragma once

namespace wrapped {
extern bool poll_fails;           // ppoll, with ENOMEM
extern int pipe2_fails_at;        // the pipe2 call it counts down to fails, with EMFILE
extern bool open_dev_null_fails;  // with EMFILE, for "/dev/null" only
extern bool waitpid_fails;        // with ECHILD, after reaping the child
extern bool sched_getcpu_fails;   // with ENOSYS
}  // namespace wrapped
