// The video component (KT_VIDEO): plays one video file through the video manager. In overlay mode
// (the default) the manager draws the video over the presented picture in a rectangle computed
// from the component's place, zoom and clipping; otherwise each new picture is copied into the
// component's own surface and drawn like an image. Play states, volume, balance, fades, repeat,
// pause, the end event and saved games follow the sound component. Main thread only.
#pragma once

namespace kova {

class TComponentFactory;
class TMediaLayer;

// Registers KT_VIDEO: every video made plays through `media`'s video manager (which outlives the
// factory's use).
void RegisterVideoKind(TComponentFactory& kinds, TMediaLayer& media);

}  // namespace kova
