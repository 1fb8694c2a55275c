#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "base/cp1252.h"
#include "platform/command_line.h"
#include "platform/posix/posix_path.h"
#include "platform/process.h"
#include "platform/system.h"

extern char** environ;

namespace kx::platform {
namespace {

class PosixProcess : public Process {
 public:
  explicit PosixProcess(pid_t pid) : pid_(pid) {}
  ~PosixProcess() override {
    // Reap a program that has ended; one still running is left to run.
    if (!reaped_) ::waitpid(pid_, nullptr, WNOHANG);
  }

  Status Wait(uint32_t timeout_ms, bool* ended, uint32_t* exit_code) override {
    if (reaped_) {
      *ended = true;
      *exit_code = code_;
      return Status::Ok();
    }
    const uint32_t start = TickCount();
    while (true) {
      int status = 0;
      pid_t r = ::waitpid(pid_, &status, timeout_ms == kWaitForever ? 0 : WNOHANG);
      if (r < 0) {
        if (errno == EINTR) continue;
        return Status::Error(kErrInvalidHandle, std::string("waiting for a process: ") + std::strerror(errno));
      }
      if (r == pid_) {
        reaped_ = true;
        code_ = WIFEXITED(status) ? static_cast<uint32_t>(WEXITSTATUS(status))
                                  : WIFSIGNALED(status) ? 128u + static_cast<uint32_t>(WTERMSIG(status)) : 1u;
        *ended = true;
        *exit_code = code_;
        return Status::Ok();
      }
      if (static_cast<uint32_t>(TickCount() - start) >= timeout_ms) {
        *ended = false;
        return Status::Ok();
      }
      struct timespec ts = {0, 2 * 1000 * 1000};
      ::nanosleep(&ts, nullptr);
    }
  }

 private:
  pid_t pid_;
  bool reaped_ = false;
  uint32_t code_ = 0;
};

uint32_t SpawnError(int e) {
  switch (e) {
    case ENOENT: return kErrFileNotFound;
    case ENOTDIR: return kErrPathNotFound;
    case EACCES:
    case EPERM: return kErrAccessDenied;
    case ENOEXEC: return 193;  // ERROR_BAD_EXE_FORMAT
    case ENOMEM:
    case EAGAIN: return kErrNotEnoughMemory;
    default: return kErrAccessDenied;
  }
}

}  // namespace

Status StartProcess(const std::string& command_line, const StartOptions& options, std::unique_ptr<Process>* result) {
  result->reset();
  std::vector<std::string> words = SplitCommandLine(command_line);
  if (words.empty() || words[0].empty()) return Status::Error(kErrFileNotFound, "no program to start");
  std::vector<std::string> args;
  for (const std::string& w : words) args.push_back(Cp1252ToUtf8(w));
  const std::string& program = words[0];
  std::string exe = args[0];
  bool search = true;
  if (program.find_first_of("/\\:") != std::string::npos) {
    Status s = ResolvePath(program, &exe);
    if (!s.ok()) return s;
    search = false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!options.folder.empty()) {
    std::string folder;
    Status s = ResolvePath(options.folder, &folder);
    struct stat st;
    if (!s.ok() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      posix_spawn_file_actions_destroy(&actions);
      return Status::Error(kErrDirectory, options.folder + ": the working folder does not exist");
    }
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  int e = search ? ::posix_spawnp(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ)
                 : ::posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (e != 0) return Status::Error(SpawnError(e), program + ": cannot start: " + std::strerror(e));
  *result = std::make_unique<PosixProcess>(pid);
  return Status::Ok();
}

}  // namespace kx::platform
