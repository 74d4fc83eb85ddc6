// The registration point of the commands whose behaviour belongs to a layer above the script
// engine (transitions, media, motion, cabinets): the script engine reads their records (see
// subsystem_commands.h), and a subsystem registers what such a command does when it makes its
// parts, before the interpreter is made. A command kind nothing registered only advances pc.
//
// The table is filled once, while the session is being made, and read only afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "core/vocabulary.h"

namespace kova {

class TCallMan;
class TCommand;
class TPage;

// What one command kind does, for the command of that kind at pc. Execute has the contract of
// TCommand::Execute: it advances pc when the command is done, and leaves it to wait.
class TCommandBehaviour {
 public:
  virtual ~TCommandBehaviour() = default;
  // Before the command's first run at pc (see TCommand::Prepare).
  virtual void Prepare(TCommand& /*command*/, TCallMan& /*callman*/) {}
  virtual void Execute(TCommand& command, TCallMan& callman, TPage*& page, int32_t& pc) = 0;
  // The command is left before it was done (see TCommand::Abandon).
  virtual void Abandon(TCommand& /*command*/, TCallMan& /*callman*/) {}
};

class TCommandTable {
 public:
  using TExecute = std::function<void(TCommand& command, TCallMan& callman, TPage*& page, int32_t& pc)>;

  TCommandTable() = default;
  TCommandTable(const TCommandTable&) = delete;
  TCommandTable& operator=(const TCommandTable&) = delete;

  // Registers the behaviour of a command kind. A kind has one owner: registering a kind twice is
  // a fault of the subsystems' registrations (std::logic_error).
  void Register(TCommandKind kind, std::unique_ptr<TCommandBehaviour> behaviour);
  // The same for a behaviour that only executes.
  void Register(TCommandKind kind, TExecute execute);
  // The behaviour registered for the kind, or nullptr.
  TCommandBehaviour* Find(TCommandKind kind) const;
  bool Empty() const { return behaviours_.empty(); }

 private:
  std::map<TCommandKind, std::unique_ptr<TCommandBehaviour>> behaviours_;
};

}  // namespace kova
