// The behaviour of the script's cabinet commands over the scene. SaveCabinet puts the matching
// controls of the hidden screen layer aside into a cabinet (the one of the command's name, else a
// new one on screen layer 0); LoadCabinet puts the matching controls of a cabinet back onto the
// hidden layer. A cabinet left empty leaves the scene.
//
// The names match as a list of the controls to move, or, with the exclude flag, of those to leave:
// a control whose name equals one of the listed names is taken (or left), the others left (or
// taken). A cabinet never goes into itself.
#pragma once

#include <string_view>
#include <vector>
#include <string>

namespace kova {

class TCommandTable;
class TKovaBaseList;

// Whether the control `name` is taken: `exclude` flipped when a listed name equals it.
bool CabinetNameMatches(std::string_view name, bool exclude, const std::vector<std::string>& names);

// Registers SaveCabinet and LoadCabinet over `root` (which must outlive the table's use).
void RegisterCabinetCommands(TCommandTable& commands, TKovaBaseList& root);

}  // namespace kova
