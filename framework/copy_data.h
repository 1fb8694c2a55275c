// Copy-data messages: the blocks other programs of the suite send to a
// framework window with the system's copy-data message.
//
// Every window procedure of the framework and of gui/ passes the message to
// AnswerCopyData and returns its answer:
//
//   case kx::framework::kCopyDataMessage:
//     return kx::framework::AnswerCopyData(static_cast<uintptr_t>(lParam));
#pragma once

#include <cstdint>
#include <functional>

namespace kx::framework {

// WM_COPYDATA.
inline constexpr unsigned kCopyDataMessage = 74;

// Identifiers of the blocks the suite's services take.
enum : uint32_t {
  kCopyDataSpool = 1001,         // the message spool
  kCopyDataLaunch = 1003,        // the program launcher...
  kCopyDataLaunchReply = 1005,
  kCopyDataLaunchEnd = 1006,
};

// The 32-bit identifier at the start of a copy-data block (the low half of
// COPYDATASTRUCT::dwData, which comes first). The address must be that of the
// block of a copy-data message being delivered; 0 for a null address.
uint32_t KXGETMSG(uintptr_t block);

// A running service that takes copy-data blocks.
using CopyDataService = std::function<void(uint32_t id, uintptr_t block)>;
// Registers the message spool (identifier 1001) and the program launcher
// (1003, 1005, 1006); an empty function unregisters. The updater runs
// neither.
void SetMessageSpool(CopyDataService service);
void SetProgramLauncher(CopyDataService service);

// What a framework window answers to a copy-data message whose second
// parameter is `block`: hands the block to the service of its identifier when
// that service runs, and answers 0.
intptr_t AnswerCopyData(uintptr_t block);

}  // namespace kx::framework
