#include "media/video_items.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/host_path.h"
#include "core/messages.h"
#include "core/range_stream.h"
#include "graphics/dibx.h"
#include "media/media_backend.h"
#include "media/sound_decoders.h"
#include "media/video_player.h"

namespace kova {

namespace {

bool IsAbsolute(std::string_view name) { return !name.empty() && (name[0] == '/' || name[0] == '\\'); }

// ".wmv", ".asf" and names without an extension are opened through their host path.
bool OpensByPath(std::string_view name) {
  const size_t slash = name.find_last_of("/\\");
  const size_t dot = name.rfind('.');
  std::string ext;
  if (dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash)) {
    for (char c : name.substr(dot)) ext.push_back(char(std::tolower(uint8_t(c))));
  }
  return std::string_view(".wmv.asf.").find(ext + ".") != std::string_view::npos;
}

// Where a video's bytes are read from: a host path (a disk file, or an archive entry's work file)
// or the game's file wherever it lies. Each of the pictures and the sound has a stream of its own.
struct TVideoSource {
  std::string host_path;  // empty: the game's file `name`
  std::string name;

  static TVideoSource Of(TVrFileManager* files, const std::string& name) {
    if (!files) Raise<EReadError>(TMsg::FileNotFound, name.c_str());
    TVideoSource source;
    if (IsAbsolute(name)) {
      const auto path = ResolveHostPath(files->HostNames(), "/", std::string_view(name).substr(1));
      if (!path) Raise<EReadError>(TMsg::FileNotFound, name.c_str());
      source.host_path = *path;
    } else if (name.size() >= 2 && name[1] == ':') {
      Raise<EReadError>(TMsg::FileNotFound, name.c_str());
    } else if (OpensByPath(name)) {
      if (!files->FileExists(name)) Raise<EReadError>(TMsg::FileNotFound, name.c_str());
      source.host_path = files->GetRealFileName(name);
    }
    source.name = name;
    return source;
  }

  std::unique_ptr<plat::IByteSource> Open(TVrFileManager& files) const {
    std::unique_ptr<TStream> stream;
    if (!host_path.empty()) {
      stream = std::make_unique<TFileRangeStream>(host_path, 0, 0);
    } else {
      stream = files.OpenRangeStream(name);
    }
    return std::make_unique<TStreamByteSource>(std::move(stream));
  }
};

// A video decoded by the platform's codecs: pictures on a worker of their own, timed on the
// manager's clock; the sound track a voice of the backend that follows the item.
class TDecodedVideoItem : public TVideoItem {
 public:
  TDecodedVideoItem(TVideoManager& owner, bool not_overlay, const TVideoManagerParts& parts, const std::string& name)
      : TVideoItem(owner, not_overlay), parts_(parts) {
    const TVideoSource source = TVideoSource::Of(parts.files, name);
    host_path_ = source.host_path;
    if (!parts.codecs) return;
    if (auto decoder = parts.codecs->OpenVideo(source.Open(*parts.files), parts.max_pixels)) {
      pictures_ = std::make_unique<TVideoPictures>(std::move(decoder));
      end_at_ = pictures_->Length();
    }
    if (pictures_ && parts.backend) {
      if (auto sound = parts.codecs->OpenVideoSound(source.Open(*parts.files))) voice_ = parts.backend->PcmAdd(std::move(sound));
    }
  }
  ~TDecodedVideoItem() override {
    if (voice_) parts_.backend->Del(voice_);
    pictures_.reset();
  }

  const std::string& HostPath() const { return host_path_; }

  bool GetAutoRepeat() override { return repeat_; }
  void SetAutoRepeat(bool repeat) override {
    if (repeat == repeat_) return;
    const int64_t now = Now();
    repeat_ = repeat;
    if (voice_) parts_.backend->SetAutoRepeat(voice_, repeat);
    if (!pictures_) return;
    pictures_->SetRepeat(repeat);
    const int64_t length = pictures_->Length();
    if (!repeat) {
      // This pass is the last.
      end_at_ = length > 0 ? (now / length + 1) * length : 0;
    } else if (pictures_->Ended() || (length > 0 && now >= end_at_)) {
      SetPosition(int32_t(length > 0 ? now % length : 0));  // the decoder had stopped at the end
    }
  }
  int32_t GetPan() override { return pan_; }
  void SetPan(int32_t pan) override {
    pan_ = pan;
    if (voice_) parts_.backend->SetPan(voice_, pan);
  }
  int32_t GetVol() override { return volume_; }
  void SetVol(int32_t volume) override {
    volume_ = volume;
    if (voice_) parts_.backend->SetVol(voice_, volume);
  }
  int32_t GetPosition() override {
    const int64_t length = Length();
    if (length <= 0) return 0;
    const int64_t now = Now();
    return int32_t(repeat_ ? now % length : std::min(now, length));
  }
  void SetPosition(int32_t ms) override {
    const int64_t length = Length();
    const int64_t at = std::clamp<int64_t>(ms, 0, length);
    held_ = at;
    started_at_ = Clock();
    end_at_ = length;
    if (pictures_) pictures_->Seek(at);
    if (voice_) parts_.backend->SetPosition(voice_, int32_t(at));
  }
  int32_t GetLen() override { return int32_t(std::min<int64_t>(Length(), INT32_MAX)); }
  bool IsEnd() override {
    if (!pictures_) return true;
    if (repeat_) return false;
    if (Length() > 0) return Now() >= end_at_;
    return pictures_->Ended();
  }
  bool IsPlaying() override { return playing_ && !IsEnd(); }
  bool IsPaused() override { return !playing_; }
  void Play() override {
    if (playing_) return;
    if (pictures_ && IsEnd()) SetPosition(0);  // played to its end: from the start again
    started_at_ = Clock();
    playing_ = true;
    if (voice_) parts_.backend->Play(voice_);
  }
  void Pause() override {
    if (!playing_) return;
    held_ = Now();
    playing_ = false;
    if (voice_) parts_.backend->Pause(voice_);
  }

  bool NeedPaint() override {
    const plat::TVideoPicture* picture = Due();
    return picture && pictures_->Serial() != taken_;
  }
  const plat::TVideoPicture* GetPicture() override {
    const plat::TVideoPicture* picture = Due();
    if (picture) taken_ = pictures_->Serial();
    return picture;
  }
  const plat::TVideoPicture* CurrentPicture() override { return Due(); }
  int32_t GetSourceWidth() override { return pictures_ ? pictures_->Width() : 0; }
  int32_t GetSourceHeight() override { return pictures_ ? pictures_->Height() : 0; }

 private:
  uint32_t Clock() const { return parts_.clock_ms ? parts_.clock_ms() : 0; }
  int64_t Length() const { return pictures_ ? pictures_->Length() : 0; }
  // The video's time: it runs on from pass to pass while repeating, and stops at the end of the
  // last one.
  int64_t Now() const {
    int64_t now = held_;
    if (playing_) now += int64_t(uint32_t(Clock() - started_at_));
    if (!repeat_ && Length() > 0) now = std::min(now, end_at_);
    return now;
  }
  const plat::TVideoPicture* Due() {
    if (!pictures_) return nullptr;
    return pictures_->PictureAt(Now(), parts_.wait_for_pictures);
  }

  const TVideoManagerParts& parts_;
  std::string host_path_;
  std::unique_ptr<TVideoPictures> pictures_;
  TVoiceHandle voice_ = 0;
  bool repeat_ = false;
  bool playing_ = false;
  int32_t volume_ = 0, pan_ = 0;
  int64_t held_ = 0;          // the time when last paused or sought
  uint32_t started_at_ = 0;   // the clock when last played or sought
  int64_t end_at_ = 0;        // where a video that does not repeat ends
  uint64_t taken_ = 0;        // the serial of the last picture taken
};

// A pixel of the screen's depth from an XRGB word.
inline uint32_t ToDepth(uint32_t xrgb, int32_t bits) {
  const uint32_t r = (xrgb >> 16) & 0xff, g = (xrgb >> 8) & 0xff, b = xrgb & 0xff;
  if (bits == 16) return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
  return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
}

// `source` of `picture` scaled (nearest pixel) into `dest` of `target`, cut to the target; the
// rectangle drawn, empty when nothing was.
TRect DrawScaled(const plat::TVideoPicture& picture, TRect source, const TRect& dest, TCustomDIBX& target) {
  source.Left = std::clamp(source.Left, 0, picture.width);
  source.Right = std::clamp(source.Right, 0, picture.width);
  source.Top = std::clamp(source.Top, 0, picture.height);
  source.Bottom = std::clamp(source.Bottom, 0, picture.height);
  const int64_t sw = source.Width(), sh = source.Height();
  const int64_t dw = int64_t(dest.Right) - dest.Left, dh = int64_t(dest.Bottom) - dest.Top;
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || picture.pixels.size() < size_t(picture.width) * picture.height) {
    return {};
  }
  const TRect cut{std::max(dest.Left, 0), std::max(dest.Top, 0), std::min(dest.Right, target.Width()),
                  std::min(dest.Bottom, target.Height())};
  if (cut.Right <= cut.Left || cut.Bottom <= cut.Top) return {};
  const int32_t bits = target.BitCount();
  if (bits != 32 && bits != 16 && bits != 15) return {};
  std::vector<int32_t> columns(size_t(cut.Width()));
  for (int32_t x = cut.Left; x < cut.Right; ++x) {
    columns[size_t(x - cut.Left)] = source.Left + int32_t((int64_t(x) - dest.Left) * sw / dw);
  }
  for (int32_t y = cut.Top; y < cut.Bottom; ++y) {
    const int32_t sy = source.Top + int32_t((int64_t(y) - dest.Top) * sh / dh);
    const uint32_t* row = picture.pixels.data() + size_t(sy) * size_t(picture.width);
    uint8_t* out = target.PixelAddress(cut.Left, y);
    if (!out) continue;
    if (bits == 32) {
      auto* px = reinterpret_cast<uint32_t*>(out);
      for (size_t i = 0; i < columns.size(); ++i) px[i] = row[columns[i]] & 0xffffff;
    } else {
      auto* px = reinterpret_cast<uint16_t*>(out);
      for (size_t i = 0; i < columns.size(); ++i) px[i] = uint16_t(ToDepth(row[columns[i]], bits));
    }
  }
  target.Unlock();
  return cut;
}

}  // namespace

TVideoManager::TVideoManager(TVideoManagerParts parts) : TMediaManager(false), parts_(std::move(parts)) {}

TVideoManager::~TVideoManager() { Clear(); }

TVideoItem* TVideoManager::Add(const std::string& name, bool not_overlay) {
  pending_not_overlay_ = not_overlay;
  return static_cast<TVideoItem*>(TMediaManager::Add(name));
}

std::unique_ptr<TDMediaItem> TVideoManager::CreateItem(const std::string& name) {
  return CreateVideo(name, pending_not_overlay_);
}

std::unique_ptr<TVideoItem> TVideoManager::CreateVideo(const std::string& name, bool not_overlay) {
  return std::make_unique<TDecodedVideoItem>(*this, not_overlay, parts_, name);
}

std::string TVideoManager::HostPathOf(const TVideoItem& item) {
  const auto* decoded = dynamic_cast<const TDecodedVideoItem*>(&item);
  return decoded ? decoded->HostPath() : std::string();
}

void TVideoManager::SuspendVideo() { video_suspended_ = true; }

void TVideoManager::ResumeVideo() { video_suspended_ = false; }

void TVideoManager::DrawOverlays(TCustomDIBX& target, std::vector<TRect>& areas) {
  if (video_suspended_) return;
  for (const auto& item : Items()) {
    auto* video = dynamic_cast<TVideoItem*>(item.get());
    if (!video || video->NotOverlay() || !video->GetVisible()) continue;
    const plat::TVideoPicture* picture = video->CurrentPicture();
    if (!picture) continue;
    const TRect drawn = DrawScaled(*picture, video->SourceRect(), video->DestRect(), target);
    if (drawn.Right > drawn.Left) areas.push_back(drawn);
  }
}

}  // namespace kova
