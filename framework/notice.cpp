#include "framework/notice.h"

#include <cstdio>

#include "base/cp1252.h"

namespace kx::framework {
namespace {
NoticeHandler& Handler() {
  static NoticeHandler handler;
  return handler;
}
}  // namespace

NoticeHandler SetNoticeHandler(NoticeHandler handler) {
  NoticeHandler previous = std::move(Handler());
  Handler() = std::move(handler);
  return previous;
}

void ShowNotice(const std::string& text) {
  if (Handler()) {
    Handler()(text);
    return;
  }
  std::string out = Cp1252ToUtf8(text);
  std::fprintf(stderr, "%s\n", out.c_str());
}

}  // namespace kx::framework
