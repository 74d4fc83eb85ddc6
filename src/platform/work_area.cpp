#include "platform/work_area.h"

#include "platform/service.h"

namespace kova::plat {
namespace {

TServiceSlot<IWorkArea>& Slot() {
  static TFixedWorkArea fixed;
  static TServiceSlot<IWorkArea> slot(fixed);
  return slot;
}

}  // namespace

IWorkArea& WorkArea() { return Slot().Get(); }
IWorkArea* InstallWorkArea(IWorkArea* area) { return Slot().Install(area); }

}  // namespace kova::plat
