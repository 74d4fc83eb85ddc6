// The interpreter of compiled pages. The project steps it once per frame: each step dispatches
// queued component events and runs commands until a command waits, the script's work for the
// frame ends, or the stop flag is set. It keeps a cache of loaded pages, the current page and
// program counter, a call stack of frames, the running page's arguments and sender, and a small
// state machine that interleaves the main flow with event handlers at numbered event levels:
//   0  the main flow runs;
//   1  an event handler started from the main flow runs;
//   2  a handler waits with events allowed, further events may start at the current level;
//   3  a nested handler runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/array_string.h"
#include "core/main_thread.h"
#include "core/object_handle.h"
#include "core/stream.h"
#include "script/params.h"

namespace kova {

class TCommand;
class TCommandTable;
class TDebugLog;
class TKovaObject;
class TPage;
class TParamCollection;
class TScenePort;
class TTimerList;
struct TScriptPorts;

namespace plat {
class IClock;
}

// The most pages the cache keeps (more only while the current page is the oldest).
inline constexpr int32_t kPageCacheLimit = 10;

// A call frame: where to return to and what to restore there.
class TStack {
 public:
  std::string PageName;
  int32_t PC = 0;
  uint8_t Entered = 0;
  // The variable that receives the called page's result when the frame is popped; empty for none.
  std::string ResultVar;
  TArrayString Args;
  // The component whose event the frame's page handles; the null handle in the main flow.
  TObjectHandle Sender;
  uint8_t Running = 0;
  // What the interrupted command wrote with SaveState, or none.
  std::unique_ptr<TMemoryStream> State;
  // The called page's result value, or none.
  std::unique_ptr<TCustomParam> Result;

  // Frame record: page name, pc, entered, running, result variable, arguments, sender name (empty
  // when none or no longer a component of `scene`), state length and bytes, result type (0 for
  // none) and the value's stream form.
  void SaveToStream(TStream& stream, const TScenePort* scene) const;
  // Reads a frame record; the sender is found by name through `scene`. Raises EReadError on a
  // truncated or inconsistent record.
  void LoadFromStream(TStream& stream, const TScenePort* scene);
};

// The call stack: owned frames plus one spare frame that receives each popped frame. Every push,
// pop and clear sets the variable store's local depth to the new frame count.
class TStackList {
 public:
  explicit TStackList(TParamCollection& store) : store_(store) {}
  int32_t Count() const { return static_cast<int32_t>(frames_.size()); }
  TStack& Items(int32_t i) const;
  TStack* Top() const { return frames_.empty() ? nullptr : frames_.back().get(); }
  TStack& Push();
  // Moves the top frame into the spare frame and returns the spare; raises "スタックエラー" when
  // the stack is empty.
  TStack& Pop();
  void Clear();
  TStack& Spare() { return spare_; }
  const TStack& Spare() const { return spare_; }

 private:
  void SyncDepth();

  TParamCollection& store_;
  std::vector<std::unique_ptr<TStack>> frames_;
  TStack spare_;
};

class TCallMan {
 public:
  // The interpreter works on `store` and reaches the player through `ports` (the file manager for
  // its pages and the project's test whether one exists, the frame clock, the debug log, the boxes
  // and the main window; its commands reach the rest). `commands` holds the behaviours that the
  // subsystems registered for their commands; `queue` is the root container's event queue (its
  // Root() is the scene), nullptr for none; `budget_clock` is the real clock the time budget is
  // measured on. All must outlive the interpreter; none is used before the first call.
  TCallMan(TParamCollection& store, const TScriptPorts& ports, const TCommandTable& commands, TTimerList* queue,
           plat::IClock& budget_clock);
  ~TCallMan();
  TCallMan(const TCallMan&) = delete;
  TCallMan& operator=(const TCallMan&) = delete;

  // ---- Services ----
  // The root container's event queue (its Root() is the scene); nullptr when there is none.
  TTimerList* EventQueue() const { return queue_; }
  TScenePort* Scene() const;
  // The project's test whether a game file exists (event pages, Jump and Call); without a project,
  // the file manager's.
  bool FileExists(std::string_view name) const;
  TParamCollection& Store() const { return store_; }
  // What the interpreter and its commands reach outside the script engine.
  const TScriptPorts& Ports() const { return ports_; }
  // The behaviours the subsystems registered for their commands.
  const TCommandTable& Commands() const { return commands_; }

  // ---- Stopping ----
  // The script stop flag: once set (a too old page, a failed project open or game load, the
  // Terminate command), every step ends at once.
  bool Stopped() const { return stopped_; }
  // Sets the stop flag; `error` (code page 932) tells why when the script did not end by itself.
  void Stop(std::string error = {});
  // Why the script stopped, empty when it ended by itself (Terminate) or still runs.
  const std::string& StopError() const { return stop_error_; }
  // Clears the stop flag (a new start).
  void Resume() {
    stopped_ = false;
    stop_error_.clear();
  }
  // The longest a step runs commands of the real clock (milliseconds; 0: no limit). A script that
  // never waits gives the frame back when the budget is spent and goes on next step where it was.
  void SetTimeBudget(uint32_t ms) { budget_ms_ = ms; }
  // True when the last step ended because its budget was spent.
  bool OutOfTime() const { return out_of_time_; }

  // ---- Running ----
  // Restarts on the page: pc 0, no arguments, state 0, empty stack, no sender, the handled event
  // levels removed from the queue, level 2. Returns the page.
  TPage* Start(std::string_view name);
  // The cached page of exactly that name, else the page loaded anew. With `front` the page moves
  // to the head of the cache (trimming it to kPageCacheLimit) and pc becomes 0; without, a new
  // page is appended. A page that fails to load raises and leaves the cache and pc unchanged.
  TPage* GetPage(std::string_view name, bool front);
  // GetPage(name, true) without touching pc: the cached page moved to the front, or the page
  // loaded and put at the front.
  TPage* FetchPage(std::string_view name);
  // The frame step: always returns true. Main thread only.
  bool Step();
  // Runs the current command once or handles the end of the page: 0 (nothing to report),
  // 1 (returned into the main flow), 2 (the command allows events), -1 (returned into a handler).
  int32_t Run();
  // Starts the handler of the first waiting event at `level`; returns 1 when it did, else 0.
  int32_t DispatchEvent(int32_t level);
  // Runs the command at pc once.
  void ExecuteCommand();
  // True while the entered command at pc keeps queued events waiting.
  bool HoldsEvents() const;

  // ---- The running page ----
  std::string GetPageName() const;
  int32_t ArgCount() const { return args_.Count(); }
  // Argument i, empty out of range.
  std::string GetArg(int32_t i) const;
  // The sender's name while an event is handled and the sender is still a component; else empty.
  std::string GetSenderName() const;
  // The result value of the top frame (nullptr with an empty stack).
  TCustomParam* ResultValue() const;
  TStack& PushFrame() { return stack_.Push(); }
  TStack& PopFrame() { return stack_.Pop(); }

  // ---- State (for the commands) ----
  TPage* Page() const { return page_; }
  int32_t PC() const { return pc_; }
  void SetPC(int32_t pc) { pc_ = pc; }
  bool Running() const { return running_ != 0; }
  void SetRunning(bool running) { running_ = running ? 1 : 0; }
  bool Entered() const { return entered_ != 0; }
  TArrayString& Args() { return args_; }
  // The sender's handle (the null handle when no event is handled); it resolves to nothing once
  // the sender was freed.
  TObjectHandle Sender() const { return sender_; }
  int32_t State() const { return state_; }
  int32_t Level() const { return level_; }
  TStackList& Stack() { return stack_; }
  const TStackList& Stack() const { return stack_; }
  int32_t CacheCount() const { return static_cast<int32_t>(cache_.size()); }
  // Cached page i, most recently used first.
  TPage* CachedPage(int32_t i) const { return cache_.at(static_cast<size_t>(i)).get(); }

  // ---- Game save ----
  // The interpreter section: page name, pc, running, entered, state, sender name, arguments, the
  // spare frame, the frame count and the frames from the bottom, the level, then the entered
  // command's state.
  void SaveToStream(TStream& stream) const;
  // Reads the section; the level only from data version 116 (else 2). A truncated or
  // inconsistent section raises.
  void LoadFromStream(TStream& stream, int32_t version);
  // After a load: runs the page `name` first, from command `index` (when above 0), and returns
  // into the loaded state when it ends. The loaded place (with its arguments, sender and the
  // entered command's state) goes into a call frame when there is a current page. A page that
  // cannot be loaded raises and changes nothing.
  void CallResumePage(std::string_view name, int32_t index);

 private:
  void TrimCache();
  // A page read anew through the file manager; a page too old for this player stops the
  // script (see TPage::LoadFromStream).
  std::unique_ptr<TPage> LoadPage(std::string_view name);
  void RefuseOldPage(const TPage& page);
  void TraceEvent(const std::string& file) const;
  // True (and OutOfTime) once the step that began at `start` has spent its budget.
  [[gnu::noinline, gnu::cold]] bool BudgetSpent(uint32_t start);
  static constexpr uint32_t kBudgetStride = 1024;
  void PushCurrentPlace();
  // Restores the frame just popped after a page ended; returns Run's result.
  int32_t ReturnFromPage();
  // The bodies of ExecuteCommand and Run, which the step runs in its own loop.
  void Turn();
  int32_t RunTurn();

  TParamCollection& store_;
  const TScriptPorts& ports_;
  const TCommandTable& commands_;
  std::vector<std::unique_ptr<TPage>> cache_;
  TPage* page_ = nullptr;
  int32_t pc_ = 0;
  uint8_t running_ = 0;
  TStackList stack_;
  uint8_t entered_ = 0;
  TArrayString args_;
  int32_t state_ = 0;
  TObjectHandle sender_;
  int32_t level_ = 2;
  // Whether the last executed command allows events (Run's result 2).
  bool allow_ = false;

  TTimerList* const queue_;
  plat::IClock& budget_clock_;
  bool stopped_ = false;
  std::string stop_error_;
  // The last command traced into the debug log (a waiting command is traced once); cleared when a
  // page leaves the cache.
  const TCommand* last_traced_ = nullptr;
  // The debug log, taken at each start, step and run from outside (the trace test costs one load
  // a command); the constructor does not read the ports, which may be made after the interpreter.
  const TDebugLog* log_ = nullptr;
  uint32_t budget_ms_ = 0;
  bool out_of_time_ = false;
  TMainThread main_;
};

}  // namespace kova
