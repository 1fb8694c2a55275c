#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/cp1252.h"
#include "platform/mutex.h"

namespace kx::platform {
namespace {

class PosixMutex : public NamedMutex {
 public:
  PosixMutex(int fd, bool existed) : fd_(fd), existed_(existed) {}
  ~PosixMutex() override { ::close(fd_); }
  bool already_existed() const override { return existed_; }

 private:
  int fd_;
  bool existed_;
};

}  // namespace

Status OpenNamedMutex(const std::string& name, std::unique_ptr<NamedMutex>* result) {
  result->reset();
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp ? tmp : "/tmp";
  std::string file = Cp1252ToUtf8(name);
  for (char& c : file)
    if (c == '/') c = '_';
  std::string path = folder + "/kx-mutex-" + file + ".lock";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return Status::Error(kErrAccessDenied, path + ": " + std::strerror(errno));
  bool existed = false;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      int e = errno;
      ::close(fd);
      return Status::Error(kErrAccessDenied, path + ": " + std::strerror(e));
    }
    existed = true;
    break;
  }
  *result = std::make_unique<PosixMutex>(fd, existed);
  return Status::Ok();
}

}  // namespace kx::platform
