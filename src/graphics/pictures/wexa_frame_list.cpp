#include "graphics/pictures/wexa_frame_list.h"

#include "core/errors.h"
#include "core/wexa_probe.h"
#include "graphics/pictures/picture_loader.h"
#include "graphics/pictures/png_loader.h"

namespace kova {

TWexaFrame& TWexaFrameList::GetFrame(int32_t index) {
  if (index < 0 || index >= Count()) Raise<EListError>(TMsg::ListIndexError, int(index));
  return *frames_[size_t(index)];
}

const TWexaFrame& TWexaFrameList::GetFrame(int32_t index) const {
  return const_cast<TWexaFrameList*>(this)->GetFrame(index);
}

void TWexaFrameList::LoadFromFile(const std::string& host_path, bool first_only) {
  TMemoryStream stream;
  stream.LoadFromFile(host_path);
  LoadFromStream(stream, first_only);
}

void TWexaFrameList::LoadFromStream(TStream& stream, bool first_only) {
  switch (SniffPictureHere(stream)) {
    case TPictureKind::Png: LoadPng(stream); break;
    case TPictureKind::Bmp: LoadBmp(stream); break;
    default: LoadLayered(stream, first_only); break;
  }
}

namespace {

void ResetForSingleFrame(TWexaFrameList& list) {
  list.Clear();
  list.Version = 0;
  list.BackgroundColor = 0;
  list.FirstLayerOpaque = false;
}

}  // namespace

void TWexaFrameList::LoadPng(TStream& stream) {
  ResetForSingleFrame(*this);
  auto frame = std::make_unique<TWexaFrame>(this);
  const TPngInfo info = ReadPng(stream, frame->Surface);
  // Without a named colour both stay 0, as pictures of this kind always had them.
  frame->TransparentIndex = info.HasKey ? int32_t(info.KeyPixel) : 0;
  frame->TransparentColor = info.HasKey ? int32_t(info.KeyColor) : 0;
  frames_.push_back(std::move(frame));
}

void TWexaFrameList::LoadBmp(TStream& stream) {
  ResetForSingleFrame(*this);
  auto frame = std::make_unique<TWexaFrame>(this);
  TDIBSurface& s = frame->Surface;
  s.LoadFromStream(stream);
  if (s.BitCount() == 32 && !s.Empty()) {
    // The fourth byte of each pixel is its opacity, unless every one is 0 (a plain 32-bit picture).
    bool any = false;
    for (int32_t y = 0; y < s.Height() && !any; ++y) {
      const uint8_t* row = s.RowAddress(y);
      for (int32_t x = 0; x < s.Width(); ++x) any |= row[4 * x + 3] != 0;
    }
    if (any) {
      s.NeedAlpha();
      TDIBSurface& alpha = *s.Alpha();
      for (int32_t y = 0; y < s.Height(); ++y) {
        const uint8_t* row = s.RowAddress(y);
        uint8_t* a = alpha.RowAddress(y);
        for (int32_t x = 0; x < s.Width(); ++x) a[x] = row[4 * x + 3];
      }
    }
    s.SetBitCount(24);
  }
  frame->TransparentIndex = 0;
  frame->TransparentColor = 0;
  frames_.push_back(std::move(frame));
}

void TWexaFrameList::MakeMasks() {
  for (auto& frame : frames_) frame->MakeMask();
}

bool TWexaFrameList::IsUncompressed(TStream& stream) { return WexaIsUncompressed(stream); }

}  // namespace kova
