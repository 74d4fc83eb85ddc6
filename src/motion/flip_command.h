// The behaviour of the script's flip command: the hidden layer, with what the script put on it,
// becomes the layer the player sees, through a screen transition that runs its length on the game
// clock.
//
// On entry (Prepare) the command reads its expressions in record order; with a move mode it lays
// the flip snapshot (a screen-sized, opaque copy of the picture shown, which the mouse never hits
// and which sorts above every other child) over the active layer and carries the chosen controls
// over to the hidden layer; then it starts the transition from the picture shown to the hidden
// layer. Its runs (Execute), one per frame step: the first only passes, the second takes the
// start time, each later one hands the transition the time elapsed since then, until that reaches
// the transition's length: the hidden layer becomes the active one, the snapshot goes and, with
// the clear flag, the controls left on the old layer (but its cabinets) go too. Abandon completes
// at once and clears cabinets as well.
#pragma once

#include <string_view>

namespace kova {

class TCommandTable;
class TKovaBaseList;

// The name of the flip snapshot: two bytes of value 1.
inline constexpr std::string_view kFlipSnapshotName{"\x01\x01", 2};

// Registers the flip command's behaviour over `root` (which must outlive the table's use).
void RegisterFlipCommand(TCommandTable& commands, TKovaBaseList& root);

}  // namespace kova
