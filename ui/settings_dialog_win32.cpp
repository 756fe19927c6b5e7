// The settings dialog on Windows: the module's dialog template (1000, or
// 1063 for screens narrower than 1024 pixels) shown modally without parent,
// its lists filled from the template's initialisation data, every control
// bound by its identifier to the CDlgConfig model. After each user action
// the controls show the model again.
#include "ui/settings_dialog.h"
//
#include <windows.h>
//
#include <commdlg.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/environment.h"
#include "platform/module_resources.h"
#include "ui/progress_dialog.h"
#include "ui/web_page.h"

namespace {

// The resource type of dialog initialisation data; its records are: control
// id (16 bits), message (16 bits, 0x0403 adds a combo-box string), byte
// count (32 bits), the bytes of the text with its terminating zero. A zero
// control id ends the data.
constexpr WORD kDialogInitType = 240;
constexpr WORD kInitAddComboString = 0x0403;

HINSTANCE moduleInstance() { return static_cast<HINSTANCE>(platform::moduleInstance()); }

std::string windowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int got = GetWindowTextA(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

void fillListsFromInitData(HWND dialog, int templateId) {
  const HINSTANCE module = moduleInstance();
  HRSRC found =
      FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(kDialogInitType));
  if (found == nullptr) return;
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  const auto* data = static_cast<const unsigned char*>(loaded ? LockResource(loaded) : nullptr);
  if (data == nullptr) return;
  std::size_t at = 0;
  // Every read stays inside the resource, whatever its records claim.
  while (at + 8 <= size) {
    WORD control, message;
    DWORD length;
    std::memcpy(&control, data + at, 2);
    if (control == 0) break;
    std::memcpy(&message, data + at + 2, 2);
    std::memcpy(&length, data + at + 4, 4);
    at += 8;
    if (length > size - at) break;
    const char* text = reinterpret_cast<const char*>(data + at);
    const std::string item(text, strnlen(text, length));
    at += length;
    if (message == kInitAddComboString) {
      SendDlgItemMessageA(dialog, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
  }
}

class CWin32SettingsDialog {
 public:
  explicit CWin32SettingsDialog(CDlgConfig& model) : model_(model) {}

  static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
      auto* self = reinterpret_cast<CWin32SettingsDialog*>(lParam);
      SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
      self->window_ = window;
      return self->initialise();
    }
    if (message == WM_CTLCOLORSTATIC) {
      // The "(folder)" and "(file)" hints are grey, like disabled text.
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id != static_cast<int>(ControlId::kLogFolderHint) &&
          id != static_cast<int>(ControlId::kLogFileHint)) {
        return FALSE;
      }
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    auto* self = reinterpret_cast<CWin32SettingsDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && message == WM_COMMAND) {
      self->command(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    }
    return FALSE;
  }

 private:
  INT_PTR initialise() {
    fillListsFromInitData(window_, model_.templateId());
    model_.setServices(services());
    showModel();
    SetFocus(GetDlgItem(window_, static_cast<int>(model_.focus())));
    // The focus is set here, not by the dialog manager.
    return FALSE;
  }

  RDlgConfigServices services() {
    RDlgConfigServices services;
    HWND owner = window_;
    services.showMessage = [owner](const std::string& text) {
      MessageBoxA(owner, text.c_str(), loadStringResource(kCaptionStringId),
                  MB_OK | MB_ICONEXCLAMATION);
    };
    services.chooseFile = [owner](const RFileChooserRequest& request) {
      return chooseSaveFile(owner, request);
    };
    services.visitWebPage = [] { visitWebPage(quiventaManualPath()); };
    return services;
  }

  static std::optional<std::string> chooseSaveFile(HWND owner, const RFileChooserRequest& request) {
    // "Description\0pattern\0...\0\0", as the system's dialog takes filters.
    std::string filter;
    for (const auto& [description, pattern] : request.filters) {
      filter += description;
      filter.push_back('\0');
      filter += pattern;
      filter.push_back('\0');
    }
    filter.push_back('\0');
    std::vector<char> name(32768, '\0');
    request.startName.copy(name.data(), name.size() - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = request.title.c_str();
    // No overwrite question and no default extension; the folder must exist.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&dialog)) return std::nullopt;
    return std::string(name.data());
  }

  HWND item(ControlId id) const { return GetDlgItem(window_, static_cast<int>(id)); }

  // The controls show the model: texts, checks, selections, enabling.
  // Notifications that this causes are not user actions.
  void showModel() {
    showing_ = true;
    for (const RControlEntry& control : CDlgConfig::controls()) {
      HWND handle = item(control.id);
      if (handle == nullptr) continue;
      switch (control.kind) {
        case ControlKind::kCheck:
        case ControlKind::kRadio:
        case ControlKind::kPushHead:
          SendMessageA(handle, BM_SETCHECK,
                       model_.checked(control.id) ? BST_CHECKED : BST_UNCHECKED, 0);
          break;
        case ControlKind::kList:
          SendMessageA(handle, CB_SETCURSEL, static_cast<WPARAM>(model_.selection(control.id)), 0);
          break;
        case ControlKind::kEditableList: {
          const int selection = model_.selection(control.id);
          if (SendMessageA(handle, CB_GETCURSEL, 0, 0) != selection) {
            SendMessageA(handle, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
          }
          if (windowText(handle) != model_.text(control.id)) {
            SetWindowTextA(handle, model_.text(control.id).c_str());
          }
          break;
        }
        default:
          // Only what differs is set, so the caret of a field being typed
          // into stays where it is.
          if (windowText(handle) != model_.text(control.id)) {
            SetWindowTextA(handle, model_.text(control.id).c_str());
          }
          break;
      }
      EnableWindow(handle, model_.enabled(control.id) ? TRUE : FALSE);
    }
    showing_ = false;
  }

  void command(int id, int notification) {
    if (showing_) return;
    const RControlEntry* control = find(id);
    if (control == nullptr) return;
    const ControlId controlId = control->id;
    HWND handle = item(controlId);
    switch (control->kind) {
      case ControlKind::kEdit:
        if (notification != EN_CHANGE) return;
        model_.setText(controlId, windowText(handle));
        break;
      case ControlKind::kEditableList:
        if (notification == CBN_EDITCHANGE) {
          model_.setText(controlId, windowText(handle));
        } else if (notification == CBN_SELCHANGE) {
          model_.select(controlId, static_cast<int>(SendMessageA(handle, CB_GETCURSEL, 0, 0)));
        } else {
          return;
        }
        break;
      case ControlKind::kList:
        if (notification != CBN_SELCHANGE) return;
        model_.select(controlId, static_cast<int>(SendMessageA(handle, CB_GETCURSEL, 0, 0)));
        break;
      case ControlKind::kCheck:
      case ControlKind::kRadio:
        if (notification != BN_CLICKED) return;
        model_.setChecked(controlId, SendMessageA(handle, BM_GETCHECK, 0, 0) == BST_CHECKED);
        break;
      case ControlKind::kButton:
        // Enter and Escape arrive as OK and Cancel from no control.
        if (notification != BN_CLICKED) return;
        model_.press(controlId);
        if (model_.state() != DialogState::kOpen) {
          EndDialog(window_, model_.state() == DialogState::kConfirmed ? IDOK : IDCANCEL);
          return;
        }
        showModel();
        SetFocus(item(model_.focus()));
        return;
      default:
        return;
    }
    showModel();
  }

  static const RControlEntry* find(int id) {
    for (const RControlEntry& control : CDlgConfig::controls()) {
      if (static_cast<int>(control.id) == id) return &control;
    }
    return nullptr;
  }

  CDlgConfig& model_;
  HWND window_ = nullptr;
  bool showing_ = false;
};

SettingsDialogRunner& installedRunner() {
  static SettingsDialogRunner runner;
  return runner;
}

}  // namespace

bool runSettingsDialog(InstanceData& data, int processorCount) {
  const int templateId = settingsTemplateForScreenWidth(platform::desktopHorizontalResolution());
  if (const SettingsDialogRunner& runner = installedRunner()) return runner(data, templateId);
  CDlgConfig model(data, RDlgConfigOpening{templateId, processorCount, {}});
  CWin32SettingsDialog dialog(model);
  // Without parent, as the host's configProc shows it.
  const INT_PTR result =
      DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(templateId), nullptr,
                      &CWin32SettingsDialog::dialogProc, reinterpret_cast<LPARAM>(&dialog));
  return result == IDOK && model.state() == DialogState::kConfirmed;
}

SettingsDialogRunner setSettingsDialogRunner(SettingsDialogRunner runner) {
  return std::exchange(installedRunner(), std::move(runner));
}
