// What every picture fuzz target does with a loaded list: the steps the image cache takes with
// each frame. Inputs may only ever raise the system's own errors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/errors.h"
#include "graphics/dibx.h"
#include "graphics/pictures/wexa_frame_list.h"

namespace kova::fuzz {

template <class Load>
void FuzzPictureLoader(const uint8_t* data, size_t size, Load load) {
  for (int32_t target : {0, 16}) {
    TWexaFrameList list(0x5EED);
    list.TargetBitCount = target;
    TMemoryStream stream{std::span<const uint8_t>(data, size)};
    try {
      load(list, stream);
    } catch (const EKovaError&) {
    }
    for (int32_t i = 0; i < list.Count(); ++i) {
      TWexaFrame& frame = list.GetFrame(i);
      frame.MakeMask();
      frame.GetOpaqueRect();
      TDIBX surface, mask;
      surface.SetSize(1, 1, 32);
      frame.CopyToDIBX(surface);
      frame.CopyAlphaToDIBX(mask);
    }
  }
}

}  // namespace kova::fuzz
