// The factory hook shared by both systems' progress windows.
#include <mutex>
#include <utility>

#include "platform/progress_window.h"

namespace platform {
namespace {

std::mutex factoryMutex;
ProgressWindowFactory& installedFactory() {
  static ProgressWindowFactory factory;
  return factory;
}

}  // namespace

std::unique_ptr<CProgressWindow> createProgressWindow() {
  ProgressWindowFactory factory;
  {
    std::lock_guard<std::mutex> lock(factoryMutex);
    factory = installedFactory();
  }
  if (factory) return factory();
  return createSystemProgressWindow();
}

ProgressWindowFactory setProgressWindowFactory(ProgressWindowFactory factory) {
  std::lock_guard<std::mutex> lock(factoryMutex);
  return std::exchange(installedFactory(), std::move(factory));
}

}  // namespace platform
