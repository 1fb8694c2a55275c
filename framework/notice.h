// How a framework service without a dialog of its own tells the user
// something (the current-directory wrappers' load failure, for one). The
// program installs the message box it wants; until then the text goes to
// standard error as UTF-8.
#pragma once

#include <functional>
#include <string>

namespace kx::framework {

using NoticeHandler = std::function<void(const std::string& text)>;

// Installs the handler (an empty one restores the default) and returns the
// previous one.
NoticeHandler SetNoticeHandler(NoticeHandler handler);
// Shows `text` (Windows-1252) through the installed handler.
void ShowNotice(const std::string& text);

}  // namespace kx::framework
