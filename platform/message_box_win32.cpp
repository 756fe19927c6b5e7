#include "platform/message_box.h"

#include <windows.h>

namespace platform {

MessageBoxAnswer defaultMessageBox(const std::string& text, const std::string& caption,
                                   MessageBoxButtons buttons) {
  // No owner: the filter's callbacks do not know the host's window. Task
  // modal so that it still blocks the host's other top-level windows.
  const UINT style = (buttons == MessageBoxButtons::kYesNo ? MB_YESNO | MB_ICONQUESTION
                                                           : MB_OK | MB_ICONEXCLAMATION) |
                     MB_TASKMODAL;
  const int answer = MessageBoxA(nullptr, text.c_str(), caption.c_str(), style);
  if (buttons == MessageBoxButtons::kOk) return MessageBoxAnswer::kOk;
  return answer == IDYES ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo;
}

}  // namespace platform
