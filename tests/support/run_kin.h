// Runs the built `kin` command in a child process for the command-line
// tests, capturing its exit code, standard output and standard error.
#ifndef KIN_TESTS_SUPPORT_RUN_KIN_H_
#define KIN_TESTS_SUPPORT_RUN_KIN_H_

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

// The program run is KIN_EXE_PATH, which the test target defines.
namespace run_kin {

struct KinRun {
  int exitCode = -1;  // -1 when the child did not exit normally
  std::string out;
  std::string err;
};

// Runs `kin` with `args` in `workingDirectory`, with stdin from /dev/null
// and stdout/stderr into files inside `scratch` (a test's own directory).
// With `fileSizeLimit` > 0 the child may not write files larger than that
// many bytes (writes past it fail; SIGXFSZ is ignored).
inline KinRun RunKin(const std::vector<std::string>& args,
                     const std::string& scratch,
                     const std::string& workingDirectory = ".",
                     long fileSizeLimit = 0) {
  const std::string outPath = scratch + "/.kin-stdout";
  const std::string errPath = scratch + "/.kin-stderr";
  KinRun run;
  const pid_t child = fork();
  if (child < 0) return run;
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
        dup2(err, 2) < 0 || chdir(workingDirectory.c_str()) != 0) {
      _exit(127);
    }
    if (fileSizeLimit > 0) {
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(fileSizeLimit),
                         static_cast<rlim_t>(fileSizeLimit)};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    std::string program = KIN_EXE_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = test_files::ReadAll(outPath);
  run.err = test_files::ReadAll(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return run;
}

}  // namespace run_kin

#endif  // KIN_TESTS_SUPPORT_RUN_KIN_H_
