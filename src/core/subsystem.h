// The contract every subsystem of a session comes in through (the scene and its components, text,
// motion, media, net, the player).
//
// A subsystem is one folder plus one class deriving from TSubsystem. The session makes the
// subsystems once, in layer order, each from the parts it needs (given at construction, never set
// later), and adds them to its TSubsystems:
//   - Register: the subsystem puts what it brings into the session's registry: its component
//     kinds, the behaviour of the script commands that belong to it (the interpreter's command
//     table), the makers of motion films and screen transitions (the scene's slot), and the ports
//     it serves to the script (scene, input, screen, history). The session runs every
//     registration once, in layer order, while it is made; a subsystem may read what a lower one
//     registered, never replace it.
//   - Workers: a subsystem owns its worker threads (core/worker.h), gives them the session's
//     mailbox for their results, and ends them in its Stop.
//   - Saved games: what a subsystem keeps in a saved game is the records of its component kinds
//     (the scene's record names the kind of every component, and each kind loads and saves its
//     own record), so a subsystem's save form comes with the kinds it registers.
//   - Stop: the subsystem ends what runs on its own (a worker thread, a device) before anything
//     it feeds is freed. The session stops the subsystems in reverse layer order, once, before it
//     frees any part; a stopped subsystem is not stepped again.
// A new subsystem therefore touches no lower file: it includes the headers of the layers below
// it, registers into the registrars it finds here, and the session (the only composition root)
// adds one line that makes it.
//
// The registry names the registrars by forward declaration only; a subsystem uses those of its
// own layer and below. One registry per session; main thread only.
#pragma once

#include <initializer_list>
#include <string_view>
#include <vector>

namespace kova {

class TCommandTable;
class TComponentFactory;
class THistoryPort;
class TInputPort;
class TScenePort;
class TScreenPort;
class TSceneMakerSlot;
class TSceneMediaSlot;

// What the subsystems register into. The session owns it and reads the ports back when it hands
// them to the script.
struct TSubsystemRegistry {
  // The component kinds (type code to class) every root container of the session creates from.
  TComponentFactory* kinds = nullptr;
  // The interpreter's command table: a subsystem registers the behaviour of the commands that
  // belong to it (the flip, the media and motion commands, the cabinets).
  TCommandTable* commands = nullptr;
  // The scene's slot for the makers of motion films and screen transitions: the subsystem that
  // builds them registers there (TSceneMakerSlot::Register, once).
  TSceneMakerSlot* makers = nullptr;
  // The scene's media switch: the media subsystem registers there (TSceneMediaSlot::Register, once).
  TSceneMediaSlot* media = nullptr;
  // The ports the script reaches the layers above through (nullptr: nobody serves it; the script
  // then sees the null port).
  TScenePort* scene = nullptr;
  TInputPort* input = nullptr;
  TScreenPort* screen = nullptr;
  THistoryPort* history = nullptr;
};

class TSubsystem {
 public:
  virtual ~TSubsystem() = default;
  // The subsystem's name (its folder's), for messages.
  virtual std::string_view Name() const = 0;
  // Puts what the subsystem brings into the registry (see above).
  virtual void Register(TSubsystemRegistry& registry) = 0;
  // Ends what runs on its own; nothing by default.
  virtual void Stop() {}
};

// The session's subsystems in layer order: registered in that order, stopped in reverse.
class TSubsystems {
 public:
  explicit TSubsystems(TSubsystemRegistry& registry) : registry_(registry) {}
  // Adds `subsystems` (lowest first) as Add does.
  TSubsystems(TSubsystemRegistry& registry, std::initializer_list<TSubsystem*> subsystems) : registry_(registry) {
    for (TSubsystem* subsystem : subsystems) Add(*subsystem);
  }
  ~TSubsystems() { StopAll(); }
  TSubsystems(const TSubsystems&) = delete;
  TSubsystems& operator=(const TSubsystems&) = delete;

  // Adds the next subsystem up (not owned: the session owns its parts) and runs its registration.
  void Add(TSubsystem& subsystem) {
    subsystem.Register(registry_);
    order_.push_back(&subsystem);
  }
  // Stops every subsystem, the highest first; the second call does nothing.
  void StopAll() {
    while (!order_.empty()) {
      TSubsystem* top = order_.back();
      order_.pop_back();
      top->Stop();
    }
  }
  // The subsystems still running, lowest first.
  const std::vector<TSubsystem*>& Running() const { return order_; }

 private:
  TSubsystemRegistry& registry_;
  std::vector<TSubsystem*> order_;
};

}  // namespace kova
