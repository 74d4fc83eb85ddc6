#include "script/command_table.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace kova {

namespace {

class TExecuteOnly : public TCommandBehaviour {
 public:
  explicit TExecuteOnly(TCommandTable::TExecute execute) : execute_(std::move(execute)) {}
  void Execute(TCommand& command, TCallMan& callman, TPage*& page, int32_t& pc) override {
    execute_(command, callman, page, pc);
  }

 private:
  TCommandTable::TExecute execute_;
};

}  // namespace

void TCommandTable::Register(TCommandKind kind, std::unique_ptr<TCommandBehaviour> behaviour) {
  if (!behaviour) throw std::logic_error("TCommandTable::Register: no behaviour");
  if (!behaviours_.emplace(kind, std::move(behaviour)).second) {
    throw std::logic_error("TCommandTable::Register: command kind " + std::to_string(static_cast<int32_t>(kind)) +
                           " registered twice");
  }
}

void TCommandTable::Register(TCommandKind kind, TExecute execute) {
  Register(kind, std::make_unique<TExecuteOnly>(std::move(execute)));
}

TCommandBehaviour* TCommandTable::Find(TCommandKind kind) const {
  auto it = behaviours_.find(kind);
  return it == behaviours_.end() ? nullptr : it->second.get();
}

}  // namespace kova
