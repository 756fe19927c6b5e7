#include "ui/progress_dialog.h"

const char* loadStringResource(int id) { return id == kCaptionStringId ? "Quiventa" : ""; }

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
