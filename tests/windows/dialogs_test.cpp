// The module's Win32 dialogs under Wine: the progress dialog's cancel
// check; the settings dialog from each template, driven from a second thread
// by control identifiers as a user would, against the dialog's model (its
// rules are the model's own suite's business: here only that the templates,
// the enabling, a refused OK and the record reach the controls), with a
// screenshot of each into the folder given as the only argument; and "Visit
// Quiventa web page" through the command registered for ".htm" files.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "plugin/common/instance_data.h"
#include "plugin/filter/filter_callbacks.h"
#include "tools/rawhost/png_file.h"
#include "ui/dlg_config.h"
#include "ui/progress_dialog.h"
#include "ui/web_page.h"

namespace {

using enum ControlId;

int failures = 0;

void check(bool ok, const std::string& what) {
  if (ok) return;
  ++failures;
  std::fprintf(stderr, "FAILED: %s\n", what.c_str());
}

std::string text(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

// A top-level dialog of this process with this caption, waited for; the
// program ends with a message if it never comes (a hang guard, not a timing).
HWND waitForDialog(const char* caption) {
  for (int attempt = 0; attempt < 2000; ++attempt) {
    HWND window = FindWindowA("#32770", caption);
    DWORD process = 0;
    if (window != nullptr) GetWindowThreadProcessId(window, &process);
    if (window != nullptr && process == GetCurrentProcessId() && IsWindowVisible(window)) {
      return window;
    }
    Sleep(10);
  }
  std::fprintf(stderr, "FAILED: no dialog \"%s\" appeared\n", caption);
  ExitProcess(1);
}

struct RDriver {
  int templateId;
  std::string screenshot;
};

HWND item(HWND dialog, ControlId id) { return GetDlgItem(dialog, static_cast<int>(id)); }

bool enabled(HWND dialog, ControlId id) { return IsWindowEnabled(item(dialog, id)) != FALSE; }

void click(HWND dialog, ControlId id) { SendMessageA(item(dialog, id), BM_CLICK, 0, 0); }

void choose(HWND dialog, ControlId id, int index) {
  // A program's selection sends no notification; the user's does.
  SendMessageA(item(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(static_cast<int>(id), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(item(dialog, id)));
}

// Typing over the whole text of an edit or an editable list's edit, one
// character at a time as the keyboard delivers them.
void type(HWND dialog, ControlId id, const char* value) {
  HWND target = item(dialog, id);
  if (HWND edit = FindWindowExA(target, nullptr, "Edit", nullptr)) target = edit;
  SendMessageA(target, EM_SETSEL, 0, -1);
  for (const char* c = value; *c != '\0'; ++c) SendMessageA(target, WM_CHAR, *c, 0);
}

// Every control of the model exists in the template with the model's
// caption, and every list holds the model's items for this template.
void checkTemplateAgainstModel(HWND dialog, const CDlgConfig& model) {
  const std::string in = " (template " + std::to_string(model.templateId()) + ")";
  for (const RControlEntry& control : CDlgConfig::controls()) {
    const std::string name = "control " + std::to_string(static_cast<int>(control.id)) + in;
    HWND window = item(dialog, control.id);
    check(window != nullptr, name + " exists");
    if (window == nullptr) continue;
    if (control.kind == ControlKind::kList || control.kind == ControlKind::kEditableList) {
      const auto items = model.items(control.id);
      const auto count = SendMessageA(window, CB_GETCOUNT, 0, 0);
      check(count == static_cast<LRESULT>(items.size()), name + " item count");
      for (std::size_t i = 0; i < items.size() && static_cast<LRESULT>(i) < count; ++i) {
        char entry[256] = {};
        SendMessageA(window, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
        check(std::string(items[i]) == entry, name + " item " + std::to_string(i) + ": " + entry);
      }
    } else if (control.kind != ControlKind::kEdit && !control.text.empty()) {
      check(text(window) == std::string(control.text), name + " caption: " + text(window));
    }
  }
}

// The dialog as drawn, from its window's pixels. Wine's PrintWindow paints
// the frame but not the controls, so the controls' pixels are copied from
// the window's surface; a dialog wider than the screen is taken in two
// halves, moved so that each lies on the screen.
void saveScreenshot(HWND dialog, const std::string& path) {
  RECT frame{};
  GetWindowRect(dialog, &frame);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  const int screen = GetSystemMetrics(SM_CXSCREEN);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(dc, bitmap);
  check(PrintWindow(dialog, dc, 0) != FALSE, "PrintWindow " + path);
  const int shifts[] = {0, width > screen ? width - screen : 0};
  for (const int shift : shifts) {
    SetWindowPos(dialog, nullptr, -shift, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC window = GetWindowDC(dialog);
    BitBlt(dc, shift, 0, width - shift, height, window, shift, 0, SRCCOPY);
    ReleaseDC(dialog, window);
  }
  GdiFlush();
  std::string error;
  check(qvraw::writePng(path, static_cast<const std::uint32_t*>(bits), width, height, &error),
        "screenshot " + path + " " + error);
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

DWORD WINAPI drive(void* parameter) {
  const RDriver& driver = *static_cast<const RDriver*>(parameter);
  HWND dialog = waitForDialog("Filter: Quiventa");
  const std::string in = " (template " + std::to_string(driver.templateId) + ")";
  InstanceData defaults{};
  setDefaultSettings(defaults);
  defaults.logFilePath = new std::string("x");
  const CDlgConfig model(defaults, RDlgConfigOpening{driver.templateId, 1, {}});
  checkTemplateAgainstModel(dialog, model);
  delete defaults.logFilePath;

  check(enabled(dialog, kBlockSize) && !enabled(dialog, kResampling), "pass-1 enabling" + in);
  click(dialog, kPass2);
  check(!enabled(dialog, kBlockSize) && enabled(dialog, kResampling), "pass-2 enabling" + in);
  choose(dialog, kVideoType, 2);
  click(dialog, kFillBorders);
  click(dialog, kSoftBorders);
  click(dialog, kSameDestAsSource);
  choose(dialog, kDestAspect, 2);
  check(text(item(dialog, kDestAspect)) == (driver.templateId == kSettingsTemplateLarge
                                                ? "Standard NTSC  (0.912)"
                                                : "Standard NTSC  (0.911)"),
        "chosen aspect shown" + in);
  type(dialog, kSourceAspect, "1.2");

  // Out of range: the OK is refused with the range message, the dialog
  // stays and the focus goes to the field.
  type(dialog, kFutureFrames, "5000");
  PostMessageA(item(dialog, kOk), BM_CLICK, 0, 0);
  HWND message = waitForDialog("Quiventa");
  const std::string said = text(GetDlgItem(message, 0xFFFF));
  check(said.find("0") != std::string::npos && said.find("1000") != std::string::npos,
        "range message names the bounds: " + said + in);
  SendMessageA(message, WM_COMMAND, IDOK, 0);
  // The dialog moves the focus once the message box has gone.
  GUITHREADINFO focus{};
  focus.cbSize = sizeof focus;
  for (int attempt = 0; attempt < 200 && focus.hwndFocus != item(dialog, kFutureFrames);
       ++attempt) {
    Sleep(10);
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &focus);
  }
  check(IsWindow(dialog) && focus.hwndFocus == item(dialog, kFutureFrames),
        "refused OK keeps the dialog, focus on the future frames" + in);
  type(dialog, kFutureFrames, "7");
  type(dialog, kBlockSize, "24");

  saveScreenshot(dialog, driver.screenshot);
  click(dialog, kOk);
  return 0;
}

void runTemplate(int screenWidth, int templateId, const std::string& folder) {
  platform::setDesktopHorizontalResolution(screenWidth);
  std::vector<std::uint64_t> memory(sizeof(InstanceData) / 8 + 1, 0);
  VFBitmap source, destination;
  FilterStateInfo state;
  FilterActivation activation(destination, source);
  activation.filter_data = memory.data();
  activation.pfsi = &state;
  initProc(&activation, nullptr);
  const InstanceData& data = *instanceOf(&activation);

  RDriver driver{templateId, folder + "\\dialog-win32-" + std::to_string(templateId) + ".png"};
  HANDLE thread = CreateThread(nullptr, 0, drive, &driver, 0, nullptr);
  const std::string in = " (template " + std::to_string(templateId) + ")";
  check(configProc(&activation, nullptr, nullptr) == 0, "configProc answers OK" + in);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);

  // Buttons, boxes, lists and typing all reached the record.
  check(data.pass == 2 && data.interlaced == 1 && data.softBorders == 1 && data.futureFrames == 7 &&
            data.blockSize == 24,
        "clicks, choices and typing stored" + in);
  check(data.sourcePixelAspectPreset == -1 && data.sourcePixelAspect == 1.2 &&
            data.sameDestAsSource == 0 && data.destPixelAspectPreset == 2,
        "typed and chosen aspects stored" + in);
  deinitProc(&activation, nullptr);
}

void checkProgressDialog() {
  CDlgProgress progress;
  check(progress.create() == 1, "progress dialog created");
  progress.setStatusText("Quiventing...");
  HWND window = FindWindowA("#32770", "Quiventa");
  check(window != nullptr && text(GetDlgItem(window, 1005)) == "Quiventing...",
        "progress dialog shows caption and status");
  check(progress.checkCancelButton() == 0, "no cancel before a click");
  // Two clicks before one check are one request.
  for (int click = 0; click < 2; ++click) {
    PostMessageA(GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
  }
  check(progress.checkCancelButton() == 1, "cancel click seen by the check");
  check(progress.checkCancelButton() == 0, "cancel request cleared");
  check(IsWindow(window), "cancel leaves the dialog open");
}

void setClassesDefault(const std::string& key, const std::string& value) {
  RegSetKeyValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                  static_cast<DWORD>(value.size() + 1));
}

void checkWebPage(const std::string& self) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  const std::string record = std::string(folder) + "quiventa-page.txt";
  DeleteFileA(record.c_str());
  char previous[520] = {};
  LONG size = sizeof previous;
  const bool hadHandler = RegQueryValueA(HKEY_CLASSES_ROOT, ".htm", previous, &size) == 0;
  setClassesDefault(".htm", "QuiventaTestPage");
  const std::string command = "\"" + self + "\" --record-page \"" + record + "\"";
  setClassesDefault("QuiventaTestPage\\shell\\open\\command", command);
  check(visitWebPage("C:\\Quiventa manual.html"), "web page command started");
  std::string recorded;
  for (int attempt = 0; attempt < 1000 && recorded.empty(); ++attempt) {
    Sleep(10);
    if (FILE* file = std::fopen(record.c_str(), "r")) {
      char line[512] = {};
      if (std::fgets(line, sizeof line, file)) recorded = line;
      std::fclose(file);
    }
  }
  check(recorded == "C:\\Quiventa manual.html", "web page address handed over: " + recorded);
  // 500 characters of command leave no room for the quoted address.
  setClassesDefault("QuiventaTestPage\\shell\\open\\command",
                    command + std::string(500 - command.size(), ' '));
  check(!visitWebPage("C:\\Quiventa manual.html"), "too long a command starts nothing");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "QuiventaTestPage");
  if (hadHandler) {
    setClassesDefault(".htm", previous);
  } else {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".htm");
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Started as the web-page handler: records the address it was given.
  if (argc == 4 && std::string(argv[1]) == "--record-page") {
    FILE* file = std::fopen(argv[2], "w");
    if (file == nullptr) return 1;
    std::fputs(argv[3], file);
    return std::fclose(file) == 0 ? 0 : 1;
  }
  if (argc != 2) {
    std::fputs("usage: quiventa_dialogs_win32_test SCREENSHOT-FOLDER\n", stderr);
    return 2;
  }
  checkProgressDialog();
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  checkWebPage(self);
  runTemplate(1280, kSettingsTemplateLarge, argv[1]);
  runTemplate(800, kSettingsTemplateCompact, argv[1]);
  std::printf("%s: %d failures\n", failures == 0 ? "PASSED" : "FAILED", failures);
  return failures == 0 ? 0 : 1;
}
