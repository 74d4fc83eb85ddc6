// The system's CD-ROM drives over libcdio, in the order the library lists them, and optionally a
// disc image (a .cue sheet with its .bin) listed after them as one more drive. Every count read
// from a disc is bounded (at most 99 tracks, each within a disc's 100 minutes); an unreadable
// sheet, image or drive is a drive that cannot be opened. No exception leaves the layer, and
// libcdio's own log is silenced.
#pragma once

#include <memory>
#include <string>

#include "platform/cd_audio.h"

namespace kova::plat {

// `image`: the path of a .cue sheet (empty: none); `with_devices`: list the physical drives too.
std::unique_ptr<ICdDrives> MakeCdioDrives(const std::string& image, bool with_devices = true);

}  // namespace kova::plat
