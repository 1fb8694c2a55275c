#include "framework/copy_data.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kx::framework {
namespace {

// The layout of the system's copy-data block: the identifier comes first.
struct Block {
  uintptr_t dwData;
  uint32_t cbData;
  void* lpData;
};

uintptr_t Address(const Block& b) { return reinterpret_cast<uintptr_t>(&b); }

TEST(CopyData, ReadsTheIdentifierAtTheStartOfTheBlock) {
  Block b{1001, 5, const_cast<char*>("hello")};
  EXPECT_EQ(KXGETMSG(Address(b)), 1001u);
  b.dwData = 0xFFFFFFFFu;
  EXPECT_EQ(KXGETMSG(Address(b)), 0xFFFFFFFFu);
  EXPECT_EQ(KXGETMSG(0), 0u);
}

TEST(CopyData, EveryMessageIsAnsweredWithZero) {
  // No service runs (as in the updater): nothing happens, the answer is 0.
  for (uintptr_t id : {0u, 1u, 1001u, 1003u, 1005u, 1006u, 9999u}) {
    Block b{id, 0, nullptr};
    EXPECT_EQ(AnswerCopyData(Address(b)), 0);
  }
  EXPECT_EQ(AnswerCopyData(0), 0);

  std::vector<uint32_t> spooled, launched;
  SetMessageSpool([&](uint32_t id, uintptr_t) { spooled.push_back(id); });
  SetProgramLauncher([&](uint32_t id, uintptr_t) { launched.push_back(id); });
  for (uintptr_t id : {1000u, 1001u, 1002u, 1003u, 1004u, 1005u, 1006u, 1007u}) {
    Block b{id, 0, nullptr};
    EXPECT_EQ(AnswerCopyData(Address(b)), 0);
  }
  SetMessageSpool(nullptr);
  SetProgramLauncher(nullptr);
  EXPECT_EQ(spooled, std::vector<uint32_t>({1001}));
  EXPECT_EQ(launched, std::vector<uint32_t>({1003, 1005, 1006}));
  Block b{1001, 0, nullptr};
  EXPECT_EQ(AnswerCopyData(Address(b)), 0);
  EXPECT_EQ(spooled.size(), 1u);
}

}  // namespace
}  // namespace kx::framework
