// The sound component (KT_SOUND): a component without a picture that plays one sound, piece of
// music or CD track through the media manager of its source's kind, with volume, balance, fades,
// repeat, the end event and the scrap rename on fade-out; it joins saved games.
#pragma once

namespace kova {

class TComponentFactory;
class TMediaLayer;

// Registers KT_SOUND: every sound made plays through `media` (which outlives the factory's use).
void RegisterSoundKind(TComponentFactory& kinds, TMediaLayer& media);

}  // namespace kova
