// The track kinds' records in the film file.
#include "motion/film_reader.h"
#include "motion/film_tracks.h"

namespace kova {

// To come: each kind's record as the film file stores it.
void TImageFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TTileFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TLabelFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TBoxFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TWipeFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TSoundFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TParticleFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}
void TFireFrameList::ReadRecord(TFilmReader&, const TFilmRecordContext&) {}

}  // namespace kova
