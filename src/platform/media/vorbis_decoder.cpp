// Ogg Vorbis over libvorbisfile, read through the byte source. Output is 16-bit signed in the
// machine's byte order, in the first logical stream's channels and rate: a chained stream whose
// later link changes either ends the decode there.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>

#include "platform/media/media_decoders.h"

namespace kova::plat {
namespace {

// Holes (lost pages) are skipped; this many in a row without sound between them end the decode.
constexpr int kMaxHolesInARow = 64;
// The most channels a decoder hands on (the converter mixes them down to what is asked).
constexpr int kMaxChannels = 8;
// One ov_read call asks for at most this many bytes.
constexpr int64_t kReadChunk = 1 << 16;

size_t ReadCallback(void* ptr, size_t size, size_t count, void* data) {
  auto* source = static_cast<IByteSource*>(data);
  if (size == 0 || count == 0) return 0;
  const int64_t want = int64_t(std::min<size_t>(count, size_t(INT64_MAX) / size) * size);
  const int64_t got = source->Read(ptr, want);
  return got > 0 ? size_t(got) / size : 0;
}

int SeekCallback(void* data, ogg_int64_t offset, int whence) {
  auto* source = static_cast<IByteSource*>(data);
  int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = source->Position();
  } else if (whence == SEEK_END) {
    base = source->Size();
  } else if (whence != SEEK_SET) {
    return -1;
  }
  if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) return -1;
  const int64_t target = base + offset;
  if (target > source->Size()) return -1;
  return source->SetPosition(target) == target ? 0 : -1;
}

long TellCallback(void* data) { return long(static_cast<IByteSource*>(data)->Position()); }

class TVorbisDecoder : public IPcmDecoder {
 public:
  explicit TVorbisDecoder(std::unique_ptr<IByteSource> source) : source_(std::move(source)) {}
  ~TVorbisDecoder() override {
    if (open_) ov_clear(&file_);
  }
  TVorbisDecoder(const TVorbisDecoder&) = delete;
  TVorbisDecoder& operator=(const TVorbisDecoder&) = delete;

  bool Open() {
    const ov_callbacks callbacks{ReadCallback, SeekCallback, nullptr, TellCallback};
    if (ov_open_callbacks(source_.get(), &file_, nullptr, 0, callbacks) < 0) return false;
    open_ = true;
    const vorbis_info* info = ov_info(&file_, -1);
    if (!info || info->channels < 1 || info->channels > kMaxChannels || info->rate < 1 || info->rate > INT32_MAX) {
      return false;
    }
    format_ = {info->channels, int32_t(info->rate), 16};
    link_ = CurrentLink();
    const ogg_int64_t total = ov_seekable(&file_) ? ov_pcm_total(&file_, -1) : -1;
    // A granule position is the file's own claim; one beyond any real length counts as unknown.
    total_ = total >= 0 && total < (INT64_MAX >> 8) ? total : -1;
    return true;
  }

  TPcmFormat Format() const override { return format_; }
  int64_t TotalFrames() const override { return total_; }
  int64_t FramePosition() const override { return position_; }

  int64_t Read(void* buffer, int64_t bytes) override {
    const int64_t block = format_.BlockAlign();
    int64_t want = bytes / block * block;
    if (total_ >= 0) want = std::min(want, std::max<int64_t>(total_ - position_, 0) * block);
    auto* out = static_cast<char*>(buffer);
    int64_t done = 0;
    int holes = 0;
    while (!ended_ && done < want) {
      int link = 0;
      const int chunk = int(std::min(want - done, kReadChunk));
      constexpr int big_endian = std::endian::native == std::endian::big ? 1 : 0;
      const long got = ov_read(&file_, out + done, chunk, big_endian, 2, 1, &link);
      if (got == OV_HOLE) {
        if (++holes > kMaxHolesInARow) ended_ = true;
        continue;
      }
      if (got <= 0 || got % block != 0) {
        ended_ = true;  // the end, or a stream that cannot go on
        break;
      }
      if (link != link_ && !SameFormat(link)) {
        ended_ = true;  // the sound just read belongs to the new link: dropped
        break;
      }
      link_ = link;
      holes = 0;
      done += got;
      position_ += got / block;
    }
    return done;
  }

  bool SeekFrame(int64_t frame) override {
    if (total_ < 0) return false;
    frame = std::clamp<int64_t>(frame, 0, total_);
    if (frame == position_ && !ended_) return true;
    if (ov_pcm_seek(&file_, frame) != 0) return false;
    position_ = frame;
    ended_ = false;
    link_ = CurrentLink();
    return true;
  }

 private:
  int CurrentLink() {
    // The link of the position (vorbisfile keeps it; -1 asks for the current one).
    const vorbis_info* now = ov_info(&file_, -1);
    for (int i = 0; i < ov_streams(&file_); ++i) {
      if (ov_info(&file_, i) == now) return i;
    }
    return 0;
  }

  bool SameFormat(int link) {
    const vorbis_info* info = ov_info(&file_, link);
    return info && info->channels == format_.channels && info->rate == format_.rate;
  }

  std::unique_ptr<IByteSource> source_;
  OggVorbis_File file_{};
  bool open_ = false;
  bool ended_ = false;
  TPcmFormat format_;
  int64_t total_ = -1;
  int64_t position_ = 0;
  int link_ = 0;
};

}  // namespace

std::unique_ptr<IPcmDecoder> OpenVorbisDecoder(std::unique_ptr<IByteSource> source) {
  source->SetPosition(0);
  auto decoder = std::make_unique<TVorbisDecoder>(std::move(source));
  if (!decoder->Open()) return nullptr;
  return decoder;
}

}  // namespace kova::plat
