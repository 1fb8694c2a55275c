#include "framework/copy_data.h"

#include <cstring>

namespace kx::framework {
namespace {
struct Services {
  CopyDataService spool;
  CopyDataService launcher;
};
Services& S() {
  static Services services;
  return services;
}
}  // namespace

uint32_t KXGETMSG(uintptr_t block) {
  if (block == 0) return 0;
  uint32_t id = 0;
  std::memcpy(&id, reinterpret_cast<const void*>(block), sizeof id);
  return id;
}

void SetMessageSpool(CopyDataService service) { S().spool = std::move(service); }
void SetProgramLauncher(CopyDataService service) { S().launcher = std::move(service); }

intptr_t AnswerCopyData(uintptr_t block) {
  uint32_t id = KXGETMSG(block);
  if (id == kCopyDataSpool) {
    if (S().spool) S().spool(id, block);
  } else if (id == kCopyDataLaunch || id == kCopyDataLaunchReply || id == kCopyDataLaunchEnd) {
    if (S().launcher) S().launcher(id, block);
  }
  return 0;
}

}  // namespace kx::framework
