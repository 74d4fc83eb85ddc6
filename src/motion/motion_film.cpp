#include "motion/motion_film.h"

namespace kova {

TMotionFilm::TMotionFilm(TKovaControl& control) : control_(control) { film_.SetMotion(&control, 0); }

void TMotionFilm::SetTime(int32_t tick) {
  film_.SetTime(tick);
  tick_ = tick;
}

}  // namespace kova
