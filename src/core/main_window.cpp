#include "core/main_window.h"

#include "platform/service.h"

namespace kova {
namespace {

plat::TServiceSlot<IMainWindow>& Slot() {
  static THeadlessMainWindow stub;
  static plat::TServiceSlot<IMainWindow> slot(stub);
  return slot;
}

}  // namespace

IMainWindow& MainWindow() { return Slot().Get(); }
IMainWindow* InstallMainWindow(IMainWindow* window) { return Slot().Install(window); }

}  // namespace kova
