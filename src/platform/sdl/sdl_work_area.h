// The work area of a display, asked from SDL (the display's bounds less panels and task bars).
#pragma once

#include "platform/window/work_area.h"

namespace kova::plat {

class TSdlWorkArea : public IWorkArea {
 public:
  explicit TSdlWorkArea(int display = 0) : display_(display) {}
  // When SDL's video is not running it is started for the query and stopped again. When the
  // display cannot be asked, TFixedWorkArea::kDefault.
  TScreenRect WorkArea() override;
  void SetDisplay(int display) { display_ = display; }

 private:
  int display_;
};

}  // namespace kova::plat
