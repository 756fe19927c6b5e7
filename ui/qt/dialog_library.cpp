// QuiventaDialog.so: the settings dialog shown with Qt Widgets, loaded by the
// module's configProc (ui/settings_dialog_library.h). Its one export opens a
// display only when one answers: Qt ends the process when its platform
// plugin cannot connect, and a host must survive a dialog that cannot be
// shown.
#include <dlfcn.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "platform/environment.h"
#include "ui/dlg_config.h"
#include "ui/qt/settings_window.h"
#include "ui/settings_dialog_library.h"

namespace {

std::string variable(const char* name) {
  return platform::getEnvironmentVariable(name).value_or("");
}

// Whether an X server answers on DISPLAY. libxcb is what Qt's xcb plugin
// connects with; it is loaded here only to ask.
bool xServerAnswers() {
  if (variable("DISPLAY").empty()) return false;
  void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
  if (xcb == nullptr) return false;
  using Connect = void* (*)(const char*, int*);
  using HasError = int (*)(void*);
  using Disconnect = void (*)(void*);
  auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
  auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
  auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
  bool answers = false;
  if (connect != nullptr && hasError != nullptr && disconnect != nullptr) {
    void* connection = connect(nullptr, nullptr);
    answers = connection != nullptr && hasError(connection) == 0;
    if (connection != nullptr) disconnect(connection);
  }
  dlclose(xcb);
  return answers;
}

bool qtPlatformPlugin(const char* pattern) {
  std::error_code error;
  const std::filesystem::path folder =
      QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms";
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().filename().string().find(pattern) != std::string::npos) return true;
  }
  return false;
}

bool waylandAnswers() {
  const std::string display = variable("WAYLAND_DISPLAY");
  if (display.empty() || !qtPlatformPlugin("qwayland")) return false;
  const std::string socket =
      display.front() == '/' ? display : variable("XDG_RUNTIME_DIR") + "/" + display;
  std::error_code error;
  return std::filesystem::exists(socket, error);
}

// The Qt platform to start with, or empty when no display answers. An
// explicit QT_QPA_PLATFORM (offscreen, vnc, ...) is the user's choice; only
// the two desktop ones are checked first.
std::string usablePlatform() {
  const std::string chosen = variable("QT_QPA_PLATFORM");
  if (!chosen.empty()) {
    if (chosen.rfind("xcb", 0) == 0) return xServerAnswers() ? chosen : "";
    if (chosen.rfind("wayland", 0) == 0) return waylandAnswers() ? chosen : "";
    return chosen;
  }
  if (waylandAnswers()) return "wayland";
  if (xServerAnswers() && qtPlatformPlugin("qxcb")) return "xcb";
  return "";
}

// Qt's warnings about the desktop (fonts, portals, themes) are not the
// host's business while the dialog is up.
void quietMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// A QApplication for the length of one dialog, unless the process has one.
class CApplicationScope {
 public:
  explicit CApplicationScope(const std::string& platform) : platform_(platform) {
    if (QCoreApplication::instance() != nullptr) return;
    previousHandler_ = qInstallMessageHandler(quietMessages);
    arguments_[0] = program_;
    arguments_[1] = option_;
    arguments_[2] = platform_.data();
    owned_ = std::make_unique<QApplication>(argumentCount_, arguments_);
  }
  ~CApplicationScope() {
    if (!owned_) return;
    owned_.reset();
    qInstallMessageHandler(previousHandler_);
  }
  // A process whose own application has no widgets cannot show ours.
  bool usable() const { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

 private:
  std::string platform_;
  char program_[9] = "quiventa";
  char option_[10] = "-platform";
  char* arguments_[4] = {};
  int argumentCount_ = 3;
  QtMessageHandler previousHandler_ = nullptr;
  std::unique_ptr<QApplication> owned_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) int quiventaShowSettingsDialog(
    const RSettingsDialogCall* call) {
  if (call == nullptr || call->structSize != static_cast<int>(sizeof(RSettingsDialogCall)) ||
      call->data == nullptr) {
    return kSettingsDialogCancelled;
  }
  const std::string platform = usablePlatform();
  if (platform.empty() && QCoreApplication::instance() == nullptr) return kSettingsDialogNoDisplay;
  CApplicationScope application(platform);
  if (!application.usable()) return kSettingsDialogNoDisplay;

  int templateId = call->templateId;
  if (templateId == 0) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    templateId = settingsTemplateForScreenWidth(screen ? screen->geometry().width() : 1024);
  }
  CDlgConfig model(*call->data, RDlgConfigOpening{templateId, call->processorCount, {}});
  CSettingsWindow window(model);
  window.exec();
  return model.state() == DialogState::kConfirmed ? kSettingsDialogConfirmed
                                                  : kSettingsDialogCancelled;
}
