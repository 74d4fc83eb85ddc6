// The behaviour of the script's flip command: the hidden layer, with what the script put on it,
// becomes the layer the player sees, through a screen transition that runs its length on the game
// clock.
#pragma once

namespace kova {

class TCommandTable;
class TKovaBaseList;

// Registers the flip command's behaviour over `root` (which must outlive the table's use).
void RegisterFlipCommand(TCommandTable& commands, TKovaBaseList& root);

}  // namespace kova
