// The media library reading through a byte source: an AVIO context whose reads and seeks go to
// the source (never a file name), and a demuxer opened over it. A byte source over bytes held in
// memory serves the callers that have the whole file.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/pcm_decoder.h"

struct AVFormatContext;
struct AVIOContext;
struct AVInputFormat;

namespace kova::plat {

// The bytes of a file held in memory, as a byte source.
class TBytesSource : public IByteSource {
 public:
  explicit TBytesSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int64_t Size() override { return int64_t(bytes_.size()); }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Position() override { return position_; }
  int64_t SetPosition(int64_t position) override;

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};

// A demuxer over a byte source (owned). Open reads from the source's start each time it is
// called (it closes what it had first), so a caller can begin again after damaged data.
class TSourceDemuxer {
 public:
  explicit TSourceDemuxer(std::unique_ptr<IByteSource> source) : source_(std::move(source)) {}
  ~TSourceDemuxer() { Close(); }
  TSourceDemuxer(const TSourceDemuxer&) = delete;
  TSourceDemuxer& operator=(const TSourceDemuxer&) = delete;

  // Opens the container (`format` forced, or probed when nullptr) and reads its streams' details;
  // false when the bytes hold no container the library reads.
  bool Open(const AVInputFormat* format);
  void Close();
  AVFormatContext* Format() const { return format_; }

 private:
  std::unique_ptr<IByteSource> source_;
  AVIOContext* avio_ = nullptr;
  AVFormatContext* format_ = nullptr;
};

}  // namespace kova::plat
