// The behaviour of the script's media and motion commands over the scene: MovieStop stops a
// component at once or fades it out (and can wait until it has been freed), MediaPlay restarts a
// component's media, PropMotion makes a property motion. They act on components through the
// object model's operations (play state, delay, source, Rewind), whatever kind a component is.
#pragma once

namespace kova {

class TCommandTable;
class TKovaBaseList;

// Registers the three commands' behaviour over `root` (which must outlive the table's use).
void RegisterMediaCommands(TCommandTable& commands, TKovaBaseList& root);

}  // namespace kova
