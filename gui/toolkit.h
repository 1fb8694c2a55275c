// The entry to a GUI implementation: dialogs from resources and the
// processing of pending window messages. The program picks one toolkit at
// start-up (Win32 on Windows, headless in tests and in the terminal build) and
// hands it to the code that shows progress.
#pragma once

#include <memory>
#include <string>

#include "gui/dialog.h"

namespace kx::gui {

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // A dialog from the program's dialog resource of that name ("DLGINS"), not
  // shown yet. Null when the program has no such resource.
  // `parent` may be null.
  virtual std::unique_ptr<Dialog> LoadDialog(const std::string& resource_name, Dialog* parent) = 0;

  // Takes every message waiting in the program's queue, dispatches it and
  // returns when the queue is empty. Never waits.
  virtual void ProcessPendingMessages() = 0;

  // Whether the program's resources hold a bitmap of that name.
  virtual bool HasBitmap(const std::string& resource_name) = 0;
};

}  // namespace kx::gui
