// The creating commands of the script run here: the command's kind names a component type, the
// root container's factory makes the component (a kind without a class yet makes nothing), and
// the command's expressions set its properties in one fixed order, each with its fixed default
// when the expression gives no result.
#pragma once

#include <cstdint>
#include <span>

namespace kova {

class TCallMan;
class TComComponent;
class TKovaBaseList;
class TKovaObject;

// The KT_ type code a creating command of kind `command_kind` makes; 0 for other kinds.
uint8_t ComponentTypeOfCommand(int32_t command_kind);

// The property ids in the order ApplyProps sets them (the ids it never sets left out).
std::span<const int32_t> ApplyOrder();

// Creates the command's component in `root` and applies its properties; nullptr when the kind
// has no class. An error of one setter (a damaged picture) does not stop the others: the first
// error is raised once every property has been applied.
TKovaObject* RunComponentCommand(TKovaBaseList& root, TComComponent& command, TCallMan& callman);

// Sets every property whose expression the command holds, in ApplyOrder.
void ApplyProps(TKovaBaseList& root, TKovaObject& component, TComComponent& command, TCallMan& callman);

}  // namespace kova
