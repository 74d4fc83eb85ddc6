// The media library's muxers writing into memory: the bytes written so far and the write and seek
// calls of a custom AVIO context over them (avio_alloc_context(buffer, size, 1, &out, nullptr,
// MemoryOut::Write, MemoryOut::Seek)).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" {
#include <libavformat/avio.h>
}

namespace kova::test {

struct MemoryOut {
  std::vector<uint8_t> bytes;
  int64_t position = 0;

  static int Write(void* opaque, uint8_t* data, int size) {
    auto* m = static_cast<MemoryOut*>(opaque);
    const size_t end = size_t(m->position) + size_t(size);
    if (m->bytes.size() < end) m->bytes.resize(end);
    std::memcpy(m->bytes.data() + m->position, data, size_t(size));
    m->position = int64_t(end);
    return size;
  }

  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    auto* m = static_cast<MemoryOut*>(opaque);
    if (whence & AVSEEK_SIZE) return int64_t(m->bytes.size());
    switch (whence & ~AVSEEK_FORCE) {
      case SEEK_SET: m->position = offset; break;
      case SEEK_CUR: m->position += offset; break;
      case SEEK_END: m->position = int64_t(m->bytes.size()) + offset; break;
      default: return -1;
    }
    return m->position;
  }
};

}  // namespace kova::test
