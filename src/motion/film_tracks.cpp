// The track kinds' construction, their defaults and the values that follow links.
#include "motion/film_tracks.h"

#include "components/scene/kova_control.h"

namespace kova {

std::unique_ptr<TCustomFrameList> CreateFilmTrack(uint8_t kind, IFilmOfTracks* film) {
  switch (kind & 0x7F) {
    case kTrackImage: return std::make_unique<TImageFrameList>(film);
    case kTrackLabel: return std::make_unique<TLabelFrameList>(film);
    case kTrackBox: return std::make_unique<TBoxFrameList>(film);
    case kTrackWipe: return std::make_unique<TWipeFrameList>(film);
    case kTrackSound: return std::make_unique<TSoundFrameList>(film);
    case kTrackTile: return std::make_unique<TTileFrameList>(film);
    case kTrackParticle: return std::make_unique<TParticleFrameList>(film);
    case kTrackFire: return std::make_unique<TFireFrameList>(film);
    default: return nullptr;
  }
}

std::string FilmSpritePrefix(const IFilmOfTracks& film) {
  std::string prefix(1, '\x01');
  if (TKovaControl* target = film.Target()) {
    prefix += target->GetName();
    prefix += '\x01';
  }
  return prefix;
}

TLabelFrameList::TLabelFrameList(IFilmOfTracks* film) : TCustomImageFrameList(film) {
  Duration = 5;
  Frames.push_back(std::make_unique<TLabelFrame>(*this));
}

TRectFrameList::TRectFrameList(IFilmOfTracks* film) : TCustomFrameList(film) { Duration = 1; }

namespace {

// The link as a track of kind T (nullptr when there is none or it is of another kind).
template <class T>
const T* LinkAs(const TCustomFrameList& track) {
  return dynamic_cast<const T*>(track.Link());
}

}  // namespace

TPoint TRectFrameList::GetPosStart() const { return Link() ? Link()->GetPosEnd() : PosStart; }
int32_t TRectFrameList::GetWidthStart() const {
  const auto* link = LinkAs<TRectFrameList>(*this);
  return link ? link->WidthEnd : WidthStart;
}
int32_t TRectFrameList::GetHeightStart() const {
  const auto* link = LinkAs<TRectFrameList>(*this);
  return link ? link->HeightEnd : HeightStart;
}
TPoint TRectFrameList::GetClipOriginStart() const { return Link() ? Link()->GetClipOriginEnd() : ClipOriginStart; }
TPoint TRectFrameList::GetClipSizeStart() const { return Link() ? Link()->GetClipSizeEnd() : ClipSizeStart; }

TBoxFrameList::TBoxFrameList(IFilmOfTracks* film) : TRectFrameList(film) {
  Frames.push_back(std::make_unique<TBoxFrame>(*this));
}

int32_t TBoxFrameList::GetAlphaStart() const { return Link() ? Link()->GetAlphaEnd() : AlphaStart; }
int32_t TBoxFrameList::GetColorStart() const {
  const auto* link = LinkAs<TBoxFrameList>(*this);
  return link ? link->ColorEnd : ColorStart;
}
int32_t TBoxFrameList::GetBorderWidthStart() const {
  const auto* link = LinkAs<TBoxFrameList>(*this);
  return link ? link->BorderWidthEnd : BorderWidthStart;
}
int32_t TBoxFrameList::GetBorderColorStart() const {
  const auto* link = LinkAs<TBoxFrameList>(*this);
  return link ? link->BorderColorEnd : BorderColorStart;
}

int32_t TTileFrameList::GetWidthStart() const {
  const auto* link = LinkAs<TTileFrameList>(*this);
  return link ? link->WidthEnd : WidthStart;
}
int32_t TTileFrameList::GetHeightStart() const {
  const auto* link = LinkAs<TTileFrameList>(*this);
  return link ? link->HeightEnd : HeightStart;
}
int32_t TTileFrameList::GetScrollXStart() const {
  const auto* link = LinkAs<TTileFrameList>(*this);
  return link ? link->ScrollXEnd : ScrollXStart;
}
int32_t TTileFrameList::GetScrollYStart() const {
  const auto* link = LinkAs<TTileFrameList>(*this);
  return link ? link->ScrollYEnd : ScrollYStart;
}

TWipeFrameList::TWipeFrameList(IFilmOfTracks* film) : TCustomFrameList(film) {
  Duration = 1;
  Frames.push_back(std::make_unique<TBoxFrame>(*this));
}

namespace {

template <class T>
void SetAndRestart(IFilmOfTracks* film, T& field, T value) {
  if (field == value) return;
  field = std::move(value);
  if (film) film->ClearCurrentWipe();
}

}  // namespace

void TWipeFrameList::SetWipeKind(uint8_t kind) { SetAndRestart(Film, WipeKind, kind); }
void TWipeFrameList::SetMaskName(std::string name) { SetAndRestart(Film, MaskName, std::move(name)); }
void TWipeFrameList::SetParam0(int32_t v) { SetAndRestart(Film, Param0, v); }
void TWipeFrameList::SetParam1(int32_t v) { SetAndRestart(Film, Param1, v); }
void TWipeFrameList::SetReverse(bool reverse) { SetAndRestart(Film, Reverse, reverse); }

TSoundFrameList::TSoundFrameList(IFilmOfTracks* film) : TCustomFrameList(film) {
  Frames.push_back(std::make_unique<TSoundFrame>(*this));
}

std::string TSoundFrameList::GetFileName() const {
  const auto* link = LinkAs<TSoundFrameList>(*this);
  return link ? link->GetFileName() : FileName;
}

TParticleFrameList::TParticleFrameList(IFilmOfTracks* film) : TRectFrameList(film) {
  const int32_t w = film ? film->FilmWidth() : 0, h = film ? film->FilmHeight() : 0;
  WidthStart = WidthEnd = w;
  HeightStart = HeightEnd = h;
}

TFireFrameList::TFireFrameList(IFilmOfTracks* film) : TRectFrameList(film) {
  WidthStart = WidthEnd = (film ? film->FilmWidth() : 0) / 4;
  HeightStart = HeightEnd = 30;
}

// A box or wipe frame has no size of its own: a rectangle track answers its start size (through
// the link), any other track 0.
int32_t TBoxFrame::Width() const {
  const auto* rect = dynamic_cast<const TRectFrameList*>(&Track);
  return rect ? rect->GetWidthStart() : 0;
}
int32_t TBoxFrame::Height() const {
  const auto* rect = dynamic_cast<const TRectFrameList*>(&Track);
  return rect ? rect->GetHeightStart() : 0;
}

int32_t TLabelFrame::Width() const {
  const auto* label = dynamic_cast<const TLabelFrameList*>(&Track);
  return label ? label->LabelWidth : 0;
}
int32_t TLabelFrame::Height() const {
  const auto* label = dynamic_cast<const TLabelFrameList*>(&Track);
  return label ? label->LabelHeight : 0;
}

int32_t TSoundFrame::Width() const { return Track.Film ? Track.Film->FilmWidth() : 0; }
int32_t TSoundFrame::Height() const { return Track.Film ? Track.Film->FilmHeight() : 0; }

}  // namespace kova
