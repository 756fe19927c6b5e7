#include "ui/progress_dialog.h"

#ifdef _WIN32
#include "platform/module_resources.h"

const char* loadStringResource(int id) {
  // The module's string table holds the one string; loaded once and kept,
  // so callers may hold the pointer.
  static const std::string caption = platform::loadModuleString(kCaptionStringId);
  return id == kCaptionStringId ? caption.c_str() : "";
}
#else
const char* loadStringResource(int id) { return id == kCaptionStringId ? "Quiventa" : ""; }
#endif

CDlgProgress::CDlgProgress(int captionId)
    : captionId_(captionId != 0 ? captionId : kCaptionStringId) {}

CDlgProgress::~CDlgProgress() = default;

int CDlgProgress::create(HWND) {
  window_ = platform::createProgressWindow();
  if (!window_) return 0;
  caption_ = loadStringResource(captionId_);
  window_->setCaption(caption_);
  return 1;
}

void CDlgProgress::setStatusText(const std::string& text) {
  status_ = text;
  if (window_) window_->setStatusText(text);
}

int CDlgProgress::checkCancelButton() {
  if (window_ && window_->pumpMessages() > 0) onCancel();
  const int requested = cancelRequested_;
  cancelRequested_ = 0;
  return requested;
}
