// The progress dialog shown while pass 2 plans: a status line, a "Cancel"
// button whose click becomes a request that the computation picks up, and
// message dispatching so the host stays responsive while the host's thread
// computes.
#pragma once

#include <memory>
#include <string>

#include "platform/progress_window.h"
#include "plugin/filter_interface.h"

// String resource of the dialog's default caption: "Quiventa".
inline constexpr int kCaptionStringId = 1096;
const char* loadStringResource(int id);

class CDlgProgress {
 public:
  // `captionId` 0 takes the default caption.
  explicit CDlgProgress(int captionId = 0);
  ~CDlgProgress();
  CDlgProgress(const CDlgProgress&) = delete;
  CDlgProgress& operator=(const CDlgProgress&) = delete;

  // Shows the dialog modelessly. Our windows have no owner to disable, so
  // `parent` is not used. Returns 1 on success, 0 when no window could be made.
  int create(HWND parent = nullptr);
  void setStatusText(const std::string& text);
  // Dispatches pending messages; returns 1 if "Cancel" was clicked since the
  // previous check (any number of clicks count once), else 0, and clears the
  // request.
  int checkCancelButton();
  // What a click on "Cancel" does.
  void onCancel() { cancelRequested_ = 1; }
  // The computation stops because the user confirmed the cancel.
  void reportAbort() {
    if (window_) window_->userAborted();
  }

  const std::string& caption() const { return caption_; }
  const std::string& statusText() const { return status_; }

 private:
  int captionId_;
  int cancelRequested_ = 0;
  std::string caption_;
  std::string status_;
  std::unique_ptr<platform::CProgressWindow> window_;
};
