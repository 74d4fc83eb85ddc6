#include "platform/media/source_io.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>

namespace kova::plat {
namespace {

constexpr int kAvioBuffer = 1 << 15;

int ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* source = static_cast<IByteSource*>(opaque);
  if (size <= 0) return AVERROR_EOF;
  const int64_t got = source->Read(buffer, size);
  if (got <= 0) return AVERROR_EOF;
  return int(std::min<int64_t>(got, size));
}

int64_t SeekSource(void* opaque, int64_t offset, int whence) {
  auto* source = static_cast<IByteSource*>(opaque);
  const int64_t size = source->Size();
  if (whence & AVSEEK_SIZE) return size >= 0 ? size : -1;
  int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = source->Position(); break;
    case SEEK_END: base = size; break;
    default: return -1;
  }
  if ((offset > 0 && base > INT64_MAX - offset) || (offset < 0 && base < INT64_MIN - offset)) return -1;
  const int64_t target = base + offset;
  if (target < 0 || target > size) return -1;
  if (source->SetPosition(target) != target) return -1;
  return target;
}

}  // namespace

int64_t TBytesSource::Read(void* buffer, int64_t count) {
  const int64_t left = int64_t(bytes_.size()) - position_;
  const int64_t n = std::min(left, count);
  if (n <= 0) return 0;
  std::memcpy(buffer, bytes_.data() + position_, size_t(n));
  position_ += n;
  return n;
}

int64_t TBytesSource::SetPosition(int64_t position) {
  position_ = std::clamp<int64_t>(position, 0, int64_t(bytes_.size()));
  return position_;
}

bool TSourceDemuxer::Open(const AVInputFormat* format) {
  Close();
  if (!source_ || source_->Size() <= 0 || source_->SetPosition(0) != 0) return false;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kAvioBuffer));
  if (!buffer) return false;
  avio_ = avio_alloc_context(buffer, kAvioBuffer, 0, source_.get(), ReadPacket, nullptr, SeekSource);
  if (!avio_) {
    av_free(buffer);
    return false;
  }
  format_ = avformat_alloc_context();
  if (!format_) return false;
  format_->pb = avio_;
  format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  if (avformat_open_input(&format_, nullptr, format, nullptr) < 0) {
    format_ = nullptr;  // freed by the failed open
    return false;
  }
  return avformat_find_stream_info(format_, nullptr) >= 0;
}

void TSourceDemuxer::Close() {
  if (format_) avformat_close_input(&format_);
  if (avio_) {
    av_freep(&avio_->buffer);
    avio_context_free(&avio_);
  }
}

}  // namespace kova::plat
