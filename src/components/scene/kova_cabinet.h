// The cabinet: an invisible container control in which scripts park controls. Nothing inside it
// is visible, drawn or hit; its contents get no update and no idle events, and a control moved in
// has its media paused (resumed when moved out).
#pragma once

#include "components/scene/kova_control.h"
#include "core/vocabulary.h"

namespace kova {

class TKovaCabinet : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  uint8_t GetCompoType() const override { return KT_CABINET; }
  bool GetVisible() const override { return false; }
  void Draw() override {}
};

}  // namespace kova
