#include "media/kova_video.h"

namespace kova {

void RegisterVideoKind(TComponentFactory&, TMediaLayer&) {}

}  // namespace kova
