// A copy-data message sent to a real window whose procedure passes it to the
// framework, as every window procedure of the framework does.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "framework/copy_data.h"

namespace kx::framework {
namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kCopyDataMessage) return AnswerCopyData(static_cast<uintptr_t>(lp));
  return DefWindowProcA(hwnd, msg, wp, lp);
}

TEST(CopyDataWindow, AnswersZeroThroughTheMessageLoop) {
  static_assert(kCopyDataMessage == WM_COPYDATA);
  WNDCLASSA wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "KxCopyDataTest";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND target = CreateWindowA("KxCopyDataTest", "kx", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
  ASSERT_NE(target, nullptr);

  char text[] = "message";
  COPYDATASTRUCT cds{1001, sizeof text, text};
  // No spool runs: answered with 0, nothing else.
  EXPECT_EQ(SendMessageA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);

  std::vector<uint32_t> spooled;
  SetMessageSpool([&](uint32_t id, uintptr_t block) {
    spooled.push_back(id);
    EXPECT_EQ(reinterpret_cast<const COPYDATASTRUCT*>(block)->cbData, sizeof text);
  });
  EXPECT_EQ(SendMessageA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
  SetMessageSpool(nullptr);
  EXPECT_EQ(spooled, std::vector<uint32_t>({1001}));
  DestroyWindow(target);
  UnregisterClassA("KxCopyDataTest", wc.hInstance);
}

}  // namespace
}  // namespace kx::framework
