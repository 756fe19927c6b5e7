#include <windows.h>
//
#include <commctrl.h>

#include <mutex>
#include <utility>

#include "platform/module_resources.h"
#include "platform/progress_window.h"

namespace platform {
namespace {

class CDialogProgressWindow : public CProgressWindow {
 public:
  bool create() {
    // The template's progress bar is a common control: its class must be
    // registered before the dialog is made, or the dialog is not made.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // No owner: the plug-in does not know the host's window, so nothing is
    // disabled while the dialog is shown.
    window_ = CreateDialogParamA(static_cast<HINSTANCE>(moduleInstance()),
                                 MAKEINTRESOURCEA(kProgressTemplateId), nullptr, &dialogProc,
                                 reinterpret_cast<LPARAM>(this));
    return window_ != nullptr;
  }

  ~CDialogProgressWindow() override {
    if (window_ != nullptr) DestroyWindow(window_);
  }

  void setCaption(const std::string& caption) override { SetWindowTextA(window_, caption.c_str()); }

  void setStatusText(const std::string& text) override {
    SetDlgItemTextA(window_, kProgressStatusId, text.c_str());
  }

  int pumpMessages() override {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The host's own loop must still see that it is to end.
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      if (IsDialogMessageA(window_, &message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    return std::exchange(cancelClicks_, 0);
  }

 private:
  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
      // Range 0 to 100 in steps of 10, at its start; the bar stays hidden.
      const HWND bar = GetDlgItem(window, kProgressBarId);
      SendMessageA(bar, PBM_SETRANGE32, 0, 100);
      SendMessageA(bar, PBM_SETSTEP, 10, 0);
      SendMessageA(bar, PBM_SETPOS, 0, 0);
      return TRUE;
    }
    auto* self = reinterpret_cast<CDialogProgressWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    // "Cancel" (and Escape, and the close box) asks; the dialog stays open.
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
      ++self->cancelClicks_;
      return TRUE;
    }
    return FALSE;
  }

  HWND window_ = nullptr;
  int cancelClicks_ = 0;
};

}  // namespace

std::unique_ptr<CProgressWindow> createSystemProgressWindow() {
  auto window = std::make_unique<CDialogProgressWindow>();
  if (!window->create()) return nullptr;
  return window;
}

}  // namespace platform
