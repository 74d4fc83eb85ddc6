#include "script/call_man.h"

#include <algorithm>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/file_manager.h"
#include "core/format.h"
#include "core/frame_clock.h"
#include "core/lists.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "platform/clock.h"
#include "script/commands.h"
#include "script/event_queue.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/params.h"
#include "script/script_errors.h"
#include "script/script_ports.h"

namespace kova {

namespace {

// The name of the component a handle names; empty when none or freed.
std::string SenderNameIn(const TScenePort* scene, TObjectHandle sender) {
  const TKovaObject* object = scene ? scene->Resolve(sender) : nullptr;
  return object ? scene->ComponentName(object) : std::string();
}

// The page file of an event handler: the handler name without its last three bytes (its
// extension), followed by "ksb".
std::string HandlerPageFile(const std::string& handler) {
  return handler.substr(0, handler.size() >= 3 ? handler.size() - 3 : 0) + "ksb";
}

}  // namespace

// ---- Records ----

namespace {

// A component handle as its record holds it: the component's name (empty when none or freed),
// found again by name when loaded.
template <class IO, class H>
void TransferSender(IO& io, H& sender, const TScenePort* scene) {
  if constexpr (IO::kLoading) {
    std::string name;
    io.Str(name);
    sender = name.empty() || !scene ? TObjectHandle{} : scene->FindHandle(name);
  } else {
    io.Str(SenderNameIn(scene, sender));
  }
}

// The frame record: page name, pc, entered, running, result variable, arguments, sender name, the
// interrupted command's state (its length, then its bytes), the result type (0 for none) and the
// value's stream form.
template <class IO, class F>
void TransferFrame(IO& io, F& f, const TScenePort* scene) {
  io.Str(f.PageName);
  io.Int(f.PC);
  io.Byte(f.Entered);
  io.Byte(f.Running);
  io.Str(f.ResultVar);
  io.Object(f.Args);
  TransferSender(io, f.Sender, scene);
  TStream& stream = io.Stream();
  if constexpr (IO::kLoading) {
    int32_t size = 0;
    io.Int(size);
    if (size < 0 || size > stream.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
    f.State.reset();
    if (size > 0) {
      f.State = std::make_unique<TMemoryStream>();
      f.State->SetSizeUninitialized(size);
      stream.ReadBuffer(f.State->Memory(), size);
      f.State->SetPosition(0);
    }
    uint8_t type = 0;
    io.Byte(type);
    f.Result.reset();
    if (type != 0) {
      if (type < PT_INT || type > PT_STR) Raise<EReadError>(TMsg::InterpreterStateError);
      f.Result = CreateParamByType(type);
      f.Result->LoadFromStream(stream);
    }
  } else {
    io.Int(f.State ? static_cast<int32_t>(f.State->Size()) : 0);
    if (f.State) f.State->SaveToStream(stream);
    const int32_t type = f.Result ? f.Result->TypeCode() : 0;
    const bool typed = f.Result && type >= PT_INT && type <= PT_STR;
    io.Byte(static_cast<uint8_t>(typed ? type : 0));
    if (typed) f.Result->SaveToStream(stream);
  }
}

}  // namespace

// ---- TStack ----

void TStack::SaveToStream(TStream& stream, const TScenePort* scene) const {
  TRecordSaver io(stream);
  TransferFrame(io, *this, scene);
}

void TStack::LoadFromStream(TStream& stream, const TScenePort* scene) {
  TRecordLoader io(stream);
  TransferFrame(io, *this, scene);
}

// ---- TStackList ----

TStack& TStackList::Items(int32_t i) const {
  CheckListIndex(i, frames_.size());
  return *frames_[static_cast<size_t>(i)];
}

TStack& TStackList::Push() {
  frames_.push_back(std::make_unique<TStack>());
  SyncDepth();
  return *frames_.back();
}

TStack& TStackList::Pop() {
  if (frames_.empty()) Raise<EScriptError>(TMsg::CallStackError);
  spare_ = std::move(*frames_.back());
  frames_.pop_back();
  SyncDepth();
  return spare_;
}

void TStackList::Clear() {
  frames_.clear();
  SyncDepth();
}

void TStackList::SyncDepth() { store_.CurrentDepth = Count(); }

// ---- TCallMan ----

TCallMan::TCallMan(TParamCollection& store, const TScriptPorts& ports, const TCommandTable& commands, TTimerList* queue,
                   plat::IClock& budget_clock)
    : store_(store),
      ports_(ports),
      commands_(commands),
      stack_(store),
      queue_(queue),
      budget_clock_(budget_clock) {}

TCallMan::~TCallMan() = default;

TScenePort* TCallMan::Scene() const { return queue_ ? queue_->Root() : nullptr; }

void TCallMan::Stop(std::string error) {
  stopped_ = true;
  if (stop_error_.empty()) stop_error_ = std::move(error);
}

bool TCallMan::FileExists(std::string_view name) const {
  return ports_.PageExists(name);
}

std::unique_ptr<TPage> TCallMan::LoadPage(std::string_view name) {
  auto page = std::make_unique<TPage>();
  page->LoadFromFile(ports_.files, name);
  if (page->TooOld()) RefuseOldPage(*page);
  return page;
}

void TCallMan::RefuseOldPage(const TPage& page) {
  const std::string text = MsgText(TMsg::PageRebuild) + "\r\n" + page.Name;
  Stop(text);
  const plat::TServices& services = ports_.platform;
  plat::TMessageBox box;
  box.owner = services.window->DialogOwner();
  box.title = MsgText(TMsg::PageWarningCaption);
  box.text = text;
  services.dialogs->ShowMessage(box);
  services.window->PostClose();
}

TPage* TCallMan::Start(std::string_view name) {
  log_ = &ports_.log;
  TPage* page = GetPage(name, true);
  page_ = page;
  pc_ = 0;
  entered_ = 0;
  args_.Clear();
  state_ = 0;
  stack_.Clear();
  sender_ = {};
  if (queue_) {
    for (int32_t l = 1; l <= level_; ++l) queue_->RemoveLevel(l);
  }
  level_ = 2;
  return page;
}

TPage* TCallMan::GetPage(std::string_view name, bool front) {
  if (front) {
    TPage* page = FetchPage(name);
    pc_ = 0;
    return page;
  }
  for (const auto& p : cache_) {
    if (p->Name == name) return p.get();
  }
  cache_.push_back(LoadPage(name));
  return cache_.back().get();
}

TPage* TCallMan::FetchPage(std::string_view name) {
  for (size_t i = 0; i < cache_.size(); ++i) {
    if (cache_[i]->Name == name) {
      if (i > 0) std::rotate(cache_.begin(), cache_.begin() + static_cast<std::ptrdiff_t>(i),
                             cache_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return cache_.front().get();
    }
  }
  // A page that fails to load never enters the cache.
  cache_.insert(cache_.begin(), LoadPage(name));
  TPage* loaded = cache_.front().get();
  TrimCache();
  return loaded;
}

void TCallMan::TrimCache() {
  while (static_cast<int32_t>(cache_.size()) > kPageCacheLimit && cache_.back().get() != page_) {
    if (last_traced_ && cache_.back()->IndexOf(last_traced_) >= 0) last_traced_ = nullptr;
    cache_.pop_back();
  }
}

bool TCallMan::HoldsEvents() const {
  return page_ && pc_ >= 0 && pc_ < page_->Count() && entered_ && page_->Command(pc_)->HoldsEvents();
}

void TCallMan::ExecuteCommand() {
  log_ = &ports_.log;
  Turn();
}

inline void TCallMan::Turn() {
  allow_ = false;
  TPage* const page = page_;
  const int32_t pc = pc_;
  if (pc < 0 || pc >= page->Count()) {
    page_ = nullptr;
    return;
  }
  TCommand* command = page->Command(pc);
  if (log_->On() && command != last_traced_) {
    log_->Write(Format("%.8x : %s(%d)", static_cast<uint32_t>(ports_.clock.GameClock), page->Name.c_str(),
                     command->Line));
    last_traced_ = command;
  }
  // A command whose answers are settled is not asked again; any other is asked each turn, in
  // this order.
  const uint8_t settled = command->SettledFlags();
  if (!entered_) {
    if (settled ? (settled & TCommand::kTurnSkip) : command->GetSkip()) {
      ++pc_;
      return;
    }
    if (!settled || (settled & TCommand::kTurnPrepare)) {
      try {
        command->Prepare(*this);
      } catch (...) {
        // A command that cannot be prepared is passed over, so the next one runs normally.
        if (page_ == page && pc_ == pc) ++pc_;
        throw;
      }
    }
    entered_ = 1;
  }
  if (settled) {
    running_ = (settled & TCommand::kTurnRunNext) ? 1 : 0;
    allow_ = (settled & TCommand::kTurnAllows) != 0;
  } else {
    running_ = command->GetRunNext() ? 1 : 0;
    allow_ = command->AllowsEvents();
  }
  try {
    command->Execute(*this, page_, pc_);
  } catch (...) {
    // The failed command is left behind: the next step runs the command after it, prepared anew.
    if (page_ == page && pc_ == pc) ++pc_;
    entered_ = 0;
    throw;
  }
  if (page_ != page || pc_ != pc) entered_ = 0;
}

int32_t TCallMan::Run() {
  log_ = &ports_.log;
  return RunTurn();
}

inline int32_t TCallMan::RunTurn() {
  if (!page_) {
    // A page of a frame that could not be restored leaves no page with frames still on the
    // stack: those frames return in turn.
    // With no frame left either, a handler has nothing more to run: it counts as returned.
    if (stack_.Count() == 0) return state_ == 0 ? 0 : 1;
    allow_ = false;
    return ReturnFromPage();
  }
  Turn();
  const int32_t r = allow_ ? 2 : 0;
  if (page_) return r;
  if (stack_.Count() == 0) {
    running_ = 0;
    return r;
  }
  return ReturnFromPage();
}

int32_t TCallMan::ReturnFromPage() {
  store_.FreeDepth(stack_.Count());
  TStack& frame = stack_.Pop();
  if (!frame.ResultVar.empty() && frame.Result) {
    if (TParamCollectionItem* item = store_.FindParam(frame.ResultVar)) item->AssignConverted(*frame.Result);
  }
  pc_ = frame.PC;
  entered_ = frame.Entered;
  running_ = frame.Running;
  args_ = frame.Args;
  sender_ = frame.Sender;
  // An empty page name is the main flow that had already ended when an event interrupted it.
  page_ = frame.PageName.empty() ? nullptr : FetchPage(frame.PageName);
  if (frame.State && page_ && pc_ >= 0 && pc_ < page_->Count()) {
    frame.State->SetPosition(0);
    page_->Command(pc_)->LoadState(*frame.State);
  }
  if (!sender_) return 1;
  return allow_ ? 2 : -1;
}

// Pushes a frame that returns to the current place, keeping the entered command's state.
void TCallMan::PushCurrentPlace() {
  TStack& frame = PushFrame();
  frame.PageName = page_ ? page_->Name : std::string();
  frame.PC = pc_;
  frame.Entered = entered_;
  frame.Args = args_;
  frame.Sender = sender_;
  frame.Running = running_;
  if (page_ && pc_ >= 0 && pc_ < page_->Count() && entered_) {
    auto state = std::make_unique<TMemoryStream>();
    page_->Command(pc_)->SaveState(*state);
    if (state->Size() > 0) frame.State = std::move(state);
  }
}

int32_t TCallMan::DispatchEvent(int32_t level) {
  if (!queue_ || queue_->Count() == 0 || HoldsEvents()) return 0;
  TTimerData* event = queue_->NextWaiting();
  if (!event) return 0;
  std::string handler = event->Handler;
  const std::string label = SplitNameSuffix(handler);
  const std::string file = HandlerPageFile(handler);
  // An event whose page is missing or cannot be loaded is dropped with the error, so it never
  // blocks the events behind it.
  TPage* target = nullptr;
  try {
    if (!FileExists(file)) Raise<EReadError>(TMsg::FileNotFound, file.c_str());
    target = FetchPage(file);
  } catch (...) {
    queue_->Remove(event);
    throw;
  }
  PushCurrentPlace();
  page_ = target;
  pc_ = 0;
  if (!label.empty()) {
    const int32_t at = page_->FindLabel(label);
    if (at >= 0) pc_ = at;
  }
  if (ports_.log.On()) TraceEvent(file);
  entered_ = 0;
  event->Level = level;
  args_ = event->Params;
  sender_ = event->Target;
  state_ = 1;
  return 1;
}

void TCallMan::TraceEvent(const std::string& file) const {
  if (pc_ < 0 || pc_ >= page_->Count()) return;
  ports_.log.Write(Format("%.8x : <Event>%s(%d)", static_cast<uint32_t>(ports_.clock.GameClock), file.c_str(),
                            page_->Command(pc_)->Line));
}

bool TCallMan::Step() {
  main_.Check("TCallMan::Step");
  log_ = &ports_.log;
  out_of_time_ = false;
  // The budget is looked at every kBudgetStride turns of the loop: the loop itself only counts
  // down (without a budget, from so far that it never gets there).
  const uint32_t start = budget_ms_ ? budget_clock_.TickMs() : 0;
  uint32_t countdown = budget_ms_ ? kBudgetStride : UINT32_MAX;
  while (!stopped_) {
    if (--countdown == 0) {
      if (BudgetSpent(start)) break;
      countdown = kBudgetStride;
    }
    const TPage* page_before = page_;
    const int32_t pc_before = pc_;
    auto stayed = [&] { return page_ == page_before && pc_ == pc_before; };
    switch (state_) {
      case 0:
        if (!queue_ || queue_->Count() == 0 || DispatchEvent(1) == 0) {
          RunTurn();
          // A command that stays where it is ends the frame's work (it runs again next frame).
          if (state_ == 0 && stayed()) running_ = 0;
        }
        break;
      case 1: {
        const int32_t r = RunTurn();
        if (r == 1) {
          if (queue_) queue_->RemoveLevel(1);
          state_ = 0;
          running_ = 1;
        } else if (r == 2) {
          level_ = 2;
          state_ = 2;
          return true;
        } else if (state_ != 1) {
          running_ = 1;
        } else if (stayed()) {
          return true;
        }
        break;
      }
      case 2: {
        const int32_t r = DispatchEvent(level_);
        if (r == 1) {
          ++level_;
          state_ = 3;
        } else {
          state_ = level_ <= 2 ? 1 : 3;
        }
        break;
      }
      case 3: {
        const int32_t r = RunTurn();
        if (r == 1 || r == -1) {
          --level_;
          if (queue_) queue_->RemoveLevel(level_);
          if (level_ <= 2) state_ = 2;
        } else if (r == 2) {
          state_ = 2;
          return true;
        } else if (state_ == 3 && stayed()) {
          return true;
        }
        break;
      }
      default:
        state_ = 0;
        break;
    }
    if (!running_ && state_ == 0) break;
  }
  return true;
}

bool TCallMan::BudgetSpent(uint32_t start) {
  // The real clock, whatever clock the session's frames follow.
  if (budget_ms_ == 0 || budget_clock_.TickMs() - start < budget_ms_) return false;
  out_of_time_ = true;
  return true;
}

std::string TCallMan::GetPageName() const { return page_ ? page_->Name : std::string(); }

std::string TCallMan::GetArg(int32_t i) const {
  if (i < 0 || i >= args_.Count()) return {};
  return args_[i];
}

std::string TCallMan::GetSenderName() const {
  if (state_ == 0) return {};
  return SenderNameIn(Scene(), sender_);
}

TCustomParam* TCallMan::ResultValue() const {
  const TStack* top = stack_.Top();
  return top ? top->Result.get() : nullptr;
}

// ---- Game save ----

namespace {

// The interpreter section as stored: page name, pc, running, entered, state, sender name,
// arguments, the spare frame, the frame count and the frames from the bottom, the level (from
// data version 116; 2 before), then the entered command's state (written by the command itself).
// Loading reads it into a TSectionIn (checked before anything changes), saving writes it from a
// TSectionOut (views of the interpreter).
struct TSectionIn {
  std::string PageName;
  int32_t PC = 0;
  uint8_t Running = 0;
  uint8_t Entered = 0;
  int32_t State = 0;
  std::string Sender;
  TArrayString Args;
  TStack Spare;
  std::vector<std::unique_ptr<TStack>> Frames;
  int32_t Level = 2;
};

struct TSectionOut {
  std::string PageName;
  int32_t PC;
  uint8_t Running;
  uint8_t Entered;
  int32_t State;
  std::string Sender;
  const TArrayString& Args;
  const TStack& Spare;
  std::vector<const TStack*> Frames;
  int32_t Level;
};

// A frame record takes at least 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1 bytes.
constexpr int64_t kMinFrameRecord = 27;

template <class IO, class S>
void TransferSection(IO& io, S& section, const TScenePort* scene) {
  io.Str(section.PageName);
  io.Int(section.PC);
  io.Byte(section.Running);
  io.Byte(section.Entered);
  io.Int(section.State);
  io.Str(section.Sender);
  io.Object(section.Args);
  TransferFrame(io, section.Spare, scene);
  int32_t count = static_cast<int32_t>(section.Frames.size());
  io.Count(count, kMinFrameRecord);
  if constexpr (IO::kLoading) {
    for (int32_t i = 0; i < count; ++i) section.Frames.push_back(std::make_unique<TStack>());
  }
  for (const auto& frame : section.Frames) TransferFrame(io, *frame, scene);
  if (io.Since(116)) io.Int(section.Level);
}

}  // namespace

void TCallMan::SaveToStream(TStream& stream) const {
  const TScenePort* scene = Scene();
  TSectionOut section{GetPageName(), pc_,   running_,       entered_, state_, SenderNameIn(scene, sender_),
                      args_,         stack_.Spare(), {},    level_};
  for (int32_t i = 0; i < stack_.Count(); ++i) section.Frames.push_back(&stack_.Items(i));
  TRecordSaver io(stream);
  TransferSection(io, section, scene);
  if (entered_ && page_ && pc_ >= 0 && pc_ < page_->Count()) page_->Command(pc_)->SaveState(stream);
}

void TCallMan::LoadFromStream(TStream& stream, int32_t version) {
  const TScenePort* scene = Scene();
  TSectionIn section;
  TRecordLoader io(stream, version);
  TransferSection(io, section, scene);
  if (section.State < 0 || section.State > 3) Raise<EReadError>(TMsg::InterpreterStateError);
  TPage* page = section.PageName.empty() ? nullptr : FetchPage(section.PageName);
  const bool has_command = page && section.PC >= 0 && section.PC < page->Count();
  // The entered command's state follows without a length: a page that no longer has that
  // command cannot be read further.
  if (section.Entered && !has_command) Raise<EReadError>(TMsg::InterpreterStateError);

  page_ = page;
  pc_ = section.PC;
  running_ = section.Running;
  entered_ = section.Entered;
  state_ = section.State;
  sender_ = section.Sender.empty() || !scene ? TObjectHandle{} : scene->FindHandle(section.Sender);
  args_ = std::move(section.Args);
  stack_.Clear();
  stack_.Spare() = std::move(section.Spare);
  for (auto& f : section.Frames) stack_.Push() = std::move(*f);
  level_ = section.Level;
  if (entered_ && has_command) page_->Command(pc_)->LoadState(stream);
}

void TCallMan::CallResumePage(std::string_view name, int32_t index) {
  // The page is loaded before the frame is pushed: a page that cannot be loaded leaves no frame.
  TPage* target = FetchPage(name);
  // The waiting command's state goes with the frame: the resume page's own calls may push the
  // loaded page out of the cache, and the command is then rebuilt from that state.
  if (page_) PushCurrentPlace();
  page_ = target;
  pc_ = index > 0 ? index : 0;
  entered_ = 0;
}

}  // namespace kova
