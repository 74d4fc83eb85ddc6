#include "graphics/pictures/picture_loader.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "graphics/dibx.h"
#include "graphics/pictures/png_loader.h"
#include "graphics/pictures/wexa_frame_list.h"

namespace kova {
namespace {

// The bytes at `offset` equal `magic` (the position is not restored).
bool MagicAt(TStream& stream, int64_t offset, const char* magic) {
  const size_t n = std::strlen(magic);
  char buffer[8];
  stream.SetPosition(offset);
  return stream.Read(buffer, int64_t(n)) == int64_t(n) && std::memcmp(buffer, magic, n) == 0;
}

}  // namespace

TPictureKind SniffPictureHere(TStream& stream) {
  const int64_t at = stream.GetPosition();
  TPictureKind kind = TPictureKind::Unknown;
  if (IsPngStream(stream)) {
    kind = TPictureKind::Png;
  } else if (MagicAt(stream, at, "BM")) {
    kind = TPictureKind::Bmp;
  } else if (MagicAt(stream, at, "Wexa")) {
    kind = TPictureKind::Wexa;
  }
  stream.SetPosition(at);
  return kind;
}

TPictureKind SniffPicture(TStream& stream) {
  const int64_t at = stream.GetPosition();
  TPictureKind kind = TPictureKind::Unknown;
  if (MagicAt(stream, 0, "BM")) {
    kind = TPictureKind::Bmp;
  } else if (MagicAt(stream, 1, "PNG")) {
    kind = TPictureKind::Png;
  } else if (MagicAt(stream, 0, "Wexa")) {
    kind = TPictureKind::Wexa;
  }
  stream.SetPosition(at);
  return kind;
}

bool LoadPictureBitmap(TStream& stream, uint32_t seed, TDIBSurface& picture) {
  const TPictureKind kind = SniffPicture(stream);
  if (kind == TPictureKind::Unknown) return false;
  stream.SetPosition(0);
  switch (kind) {
    case TPictureKind::Bmp: {
      TDIBSurface bmp;
      bmp.LoadFromStream(stream);
      picture = std::move(bmp);
      return true;
    }
    case TPictureKind::Png: {
      TDIBSurface png;
      ReadPng(stream, png);
      picture = std::move(png);
      return true;
    }
    default: {
      TWexaFrameList list(seed);
      list.LoadLayered(stream, true);
      if (list.Count() == 0) return false;
      TDIBSurface& first = list.GetFrame(0).Surface;
      first.FreeAlpha();
      picture = std::move(first);
      return true;
    }
  }
}

void TCustomDIBX::LoadFromStream(TStream* stream, int32_t seed) {
  if (!stream) return;
  TDIBSurface picture;
  if (!LoadPictureBitmap(*stream, uint32_t(seed), picture) || picture.Empty()) return;
  const int32_t w = picture.Width(), h = picture.Height();
  SetSize(w, h, BitCount());
  const TPixelView dc = GetDC();
  if (dc.Bits) ConvertBlit(dc, TRect{0, 0, w, h}, picture.View(), TRect{0, 0, w, h});
  ReleaseDC();
}

void TCustomDIBX::LoadFromFile(const std::string& host_path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(host_path, ec)) return;
  TMemoryStream stream;
  stream.LoadFromFile(host_path);
  LoadFromStream(&stream, 0);
}

}  // namespace kova
