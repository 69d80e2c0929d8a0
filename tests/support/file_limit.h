// Runs test code in a child process whose files may not grow past a limit,
// so that writes past it fail (EFBIG) the way a full disk would, without
// touching any device.
#ifndef KIN_TESTS_SUPPORT_FILE_LIMIT_H_
#define KIN_TESTS_SUPPORT_FILE_LIMIT_H_

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test_files {

// Runs `body` (returning an exit status) in a child process whose files may
// not grow past `limit` bytes, with SIGXFSZ ignored. Returns the child's exit
// status, or -1 when it did not exit normally.
template <typename Body>
int RunWithFileLimit(rlim_t limit, Body body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl = {limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(100);
    _exit(body());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}

}  // namespace test_files

#endif  // KIN_TESTS_SUPPORT_FILE_LIMIT_H_
