#include "script/prop_types.h"

#include <array>

#include "core/vocabulary.h"

namespace kova {
namespace {

constexpr TPropId kStringProps[] = {
    PR_NAME, PR_PARENT, PR_SOURCE, PR_FONTNAME, PR_ONPLAYING, PR_ONNOTIFY, PR_ONMOUSEMOVE,
    PR_ONMOUSEOUT, PR_ONLBTNDOWN, PR_ONLBTNUP, PR_ONRBTNDOWN, PR_ONRBTNUP, PR_ONWHEELDOWN,
    PR_ONWHEELUP, PR_ONPLAYEND, PR_ONLINK, PR_TEXT, PR_BORDERSOURCETL, PR_BORDERSOURCETC,
    PR_BORDERSOURCETR, PR_BORDERSOURCECL, PR_BORDERSOURCECC, PR_BORDERSOURCECR, PR_BORDERSOURCEBL,
    PR_BORDERSOURCEBC, PR_BORDERSOURCEBR, PR_SCROLLSOURCE, PR_CHECKSOURCE, PR_ONSELECT,
    PR_ONOPENING, PR_ONOPENED, PR_ONCLOSING, PR_ONCLOSED, PR_HOVERSOURCE, PR_PRESSEDSOURCE,
    PR_CURSOR, PR_ONPLAYSTART, PR_ONMOUSEIN, PR_ONMAPIN, PR_ONMAPOUT, PR_MAPSOURCE, PR_ONIDLE,
    PR_THUMBSOURCE, PR_BUTTONSOURCE, PR_MAPTEXT, PR_CLICKEDSOURCE, PR_ONHOLD, PR_ONRELEASE,
    PR_ONKEYDOWN, PR_ONKEYUP, PR_ONKEYREPEAT, PR_ONFOCUSIN, PR_ONFOCUSOUT, PR_TAG,
};

constexpr TPropId kFlagProps[] = {
    PR_ANTIALIAS, PR_PAUSED, PR_REPEAT, PR_VISIBLE, PR_AUTOSCRAP, PR_RCLICKSCRAP, PR_TEXTPAUSED,
    PR_ALLOWALLUP, PR_SELECTED, PR_CAPTUREMASK, PR_READONLY, PR_POSZOOMED, PR_FLIPH, PR_FLIPV,
    PR_ANIPAUSED, PR_REVERSE, PR_PLAYING, PR_REWINDONLOAD, PR_HANDLEKEY, PR_OVERLAY,
    PR_CAPTURELINK, PR_MUTEONLOAD,
};

constexpr TPropId kFloatProps[] = {PR_PARAM1, PR_PARAM2, PR_PARAM3};

constexpr std::array<uint8_t, kPropCount> BuildTable() {
  std::array<uint8_t, kPropCount> table{};
  for (auto& t : table) t = PT_INT;
  for (TPropId id : kStringProps) table[id] = PT_STR;
  for (TPropId id : kFlagProps) table[id] = PT_BOOL;
  for (TPropId id : kFloatProps) table[id] = PT_FLOAT;
  return table;
}

constexpr std::array<uint8_t, kPropCount> kTable = BuildTable();

static_assert(std::size(kStringProps) == 54 && std::size(kFlagProps) == 22);

}  // namespace

int32_t PropValueType(int32_t id) {
  return (id >= 0 && id < kPropCount) ? int32_t(kTable[static_cast<size_t>(id)]) : int32_t(PT_NONE);
}

}  // namespace kova
