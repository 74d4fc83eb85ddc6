#include "video_writer.h"

namespace kova::test {

std::vector<uint8_t> VideoBytes(const VideoSpec&) { return {}; }

}  // namespace kova::test
