#include "script/call_man.h"

#include <algorithm>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/file_manager.h"
#include "core/format.h"
#include "core/frame_clock.h"
#include "core/lists.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "platform/clock.h"
#include "script/commands.h"
#include "script/event_queue.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/params.h"
#include "script/script_errors.h"
#include "script/script_host.h"

namespace kova {

namespace {

std::string SenderNameIn(const TScenePort* scene, const TKovaObject* sender) {
  if (!sender || !scene || !scene->HasComponent(sender)) return {};
  return scene->ComponentName(sender);
}

// The page file of an event handler: the handler name without its last three bytes (its
// extension), followed by "ksb".
std::string HandlerPageFile(const std::string& handler) {
  return handler.substr(0, handler.size() >= 3 ? handler.size() - 3 : 0) + "ksb";
}

}  // namespace

// ---- TStack ----

void TStack::SaveToStream(TStream& stream, const TScenePort* scene) const {
  WriteStreamString(stream, PageName);
  WriteStreamInteger(stream, PC);
  WriteStreamByte(stream, Entered);
  WriteStreamByte(stream, Running);
  WriteStreamString(stream, ResultVar);
  Args.SaveToStream(stream);
  WriteStreamString(stream, SenderNameIn(scene, Sender));
  if (State) {
    WriteStreamInteger(stream, static_cast<int32_t>(State->Size()));
    State->SaveToStream(stream);
  } else {
    WriteStreamInteger(stream, 0);
  }
  const int32_t type = Result ? Result->TypeCode() : 0;
  if (Result && type >= PT_INT && type <= PT_STR) {
    WriteStreamByte(stream, static_cast<uint8_t>(type));
    Result->SaveToStream(stream);
  } else {
    WriteStreamByte(stream, 0);
  }
}

void TStack::LoadFromStream(TStream& stream, const TScenePort* scene) {
  PageName = ReadStreamString(stream);
  PC = ReadStreamInteger(stream);
  Entered = ReadStreamByte(stream);
  Running = ReadStreamByte(stream);
  ResultVar = ReadStreamString(stream);
  Args.LoadFromStream(stream);
  const std::string sender = ReadStreamString(stream);
  Sender = sender.empty() || !scene ? nullptr : scene->FindComponent(sender);
  const int32_t size = ReadStreamInteger(stream);
  if (size < 0 || size > stream.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
  State.reset();
  if (size > 0) {
    State = std::make_unique<TMemoryStream>();
    State->SetSizeUninitialized(size);
    stream.ReadBuffer(State->Memory(), size);
    State->SetPosition(0);
  }
  const uint8_t type = ReadStreamByte(stream);
  Result.reset();
  if (type != 0) {
    if (type < PT_INT || type > PT_STR) Raise<EReadError>(TMsg::InterpreterStateError);
    Result = CreateParamByType(type);
    Result->LoadFromStream(stream);
  }
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

TCallMan::TCallMan(TParamCollection& store) : store_(store), stack_(store) {}

TCallMan::~TCallMan() = default;

TScenePort* TCallMan::Scene() const { return queue_ ? queue_->Root() : nullptr; }

TScriptHost& TCallMan::Host() const { return store_.Host(); }

void TCallMan::Stop(std::string error) {
  stopped_ = true;
  if (stop_error_.empty()) stop_error_ = std::move(error);
}

bool TCallMan::FileExists(std::string_view name) const {
  if (file_exists_) return file_exists_(name);
  const TVrFileManager* files = Host().Files();
  return files && files->FileExists(name);
}

std::unique_ptr<TPage> TCallMan::LoadPage(std::string_view name) {
  auto page = std::make_unique<TPage>();
  TVrFileManager* files = Host().Files();
  if (!files) Raise<EReadError>(TMsg::FileNotFound, std::string(name).c_str());
  page->LoadFromFile(*files, name);
  if (page->TooOld()) RefuseOldPage(*page);
  return page;
}

void TCallMan::RefuseOldPage(const TPage& page) {
  const std::string text = MsgText(TMsg::PageRebuild) + "\r\n" + page.Name;
  Stop(text);
  const plat::TServices& services = Host().Platform();
  plat::TMessageBox box;
  box.owner = services.window->DialogOwner();
  box.title = MsgText(TMsg::PageWarningCaption);
  box.text = text;
  services.dialogs->ShowMessage(box);
  services.window->PostClose();
}

TPage* TCallMan::Start(std::string_view name) {
  TPage* page = GetPage(name, true);
  page_ = page;
  pc_ = 0;
  entered_ = 0;
  args_.Clear();
  state_ = 0;
  stack_.Clear();
  sender_ = nullptr;
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
  allow_ = false;
  TPage* const page = page_;
  const int32_t pc = pc_;
  if (pc < 0 || pc >= page->Count()) {
    page_ = nullptr;
    return;
  }
  TCommand* command = page->Command(pc);
  const TDebugLog& log = Host().Log();
  if (log.On() && command != last_traced_) {
    log.Write(Format("%.8x : %s(%d)", static_cast<uint32_t>(Host().Clock().GameClock), page->Name.c_str(),
                     command->Line));
    last_traced_ = command;
  }
  if (!entered_) {
    if (command->GetSkip()) {
      ++pc_;
      return;
    }
    try {
      command->Prepare(*this);
    } catch (...) {
      // A command that cannot be prepared is passed over, so the next one runs normally.
      if (page_ == page && pc_ == pc) ++pc_;
      throw;
    }
    entered_ = 1;
  }
  running_ = command->GetRunNext() ? 1 : 0;
  allow_ = command->AllowsEvents();
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
  if (!page_) {
    // A page of a frame that could not be restored leaves no page with frames still on the
    // stack: those frames return in turn.
    // With no frame left either, a handler has nothing more to run: it counts as returned.
    if (stack_.Count() == 0) return state_ == 0 ? 0 : 1;
    allow_ = false;
    return ReturnFromPage();
  }
  ExecuteCommand();
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

int32_t TCallMan::DispatchEvent(int32_t level) {
  if (!queue_ || HoldsEvents()) return 0;
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
  page_ = target;
  pc_ = 0;
  if (!label.empty()) {
    const int32_t at = page_->FindLabel(label);
    if (at >= 0) pc_ = at;
  }
  if (Host().Log().On()) TraceEvent(file);
  entered_ = 0;
  event->Level = level;
  args_ = event->Params;
  sender_ = event->Target;
  state_ = 1;
  return 1;
}

void TCallMan::TraceEvent(const std::string& file) const {
  if (pc_ < 0 || pc_ >= page_->Count()) return;
  Host().Log().Write(Format("%.8x : <Event>%s(%d)", static_cast<uint32_t>(Host().Clock().GameClock), file.c_str(),
                            page_->Command(pc_)->Line));
}

bool TCallMan::Step() {
  // The budget is looked at every kBudgetStride turns of the loop, so a step that ends early
  // costs one clock reading and a counter.
  constexpr uint32_t kBudgetStride = 1024;
  main_.Check("TCallMan::Step");
  out_of_time_ = false;
  const uint32_t start = budget_ms_ ? plat::MilliTicks() : 0;
  uint32_t turns = 0;
  while (!stopped_) {
    if (budget_ms_ && ++turns % kBudgetStride == 0 && plat::MilliTicks() - start >= budget_ms_) {
      out_of_time_ = true;
      break;
    }
    const TPage* page_before = page_;
    const int32_t pc_before = pc_;
    auto stayed = [&] { return page_ == page_before && pc_ == pc_before; };
    switch (state_) {
      case 0:
        if (DispatchEvent(1) == 0) {
          Run();
          // A command that stays where it is ends the frame's work (it runs again next frame).
          if (state_ == 0 && stayed()) running_ = 0;
        }
        break;
      case 1: {
        const int32_t r = Run();
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
        const int32_t r = Run();
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

void TCallMan::SaveToStream(TStream& stream) const {
  const TScenePort* scene = Scene();
  WriteStreamString(stream, GetPageName());
  WriteStreamInteger(stream, pc_);
  WriteStreamByte(stream, running_);
  WriteStreamByte(stream, entered_);
  WriteStreamInteger(stream, state_);
  WriteStreamString(stream, SenderNameIn(scene, sender_));
  args_.SaveToStream(stream);
  stack_.Spare().SaveToStream(stream, scene);
  WriteStreamInteger(stream, stack_.Count());
  for (int32_t i = 0; i < stack_.Count(); ++i) stack_.Items(i).SaveToStream(stream, scene);
  WriteStreamInteger(stream, level_);
  if (entered_ && page_ && pc_ >= 0 && pc_ < page_->Count()) page_->Command(pc_)->SaveState(stream);
}

void TCallMan::LoadFromStream(TStream& stream, int32_t version) {
  const TScenePort* scene = Scene();
  const std::string page_name = ReadStreamString(stream);
  const int32_t pc = ReadStreamInteger(stream);
  const uint8_t running = ReadStreamByte(stream);
  const uint8_t entered = ReadStreamByte(stream);
  const int32_t state = ReadStreamInteger(stream);
  const std::string sender = ReadStreamString(stream);
  TArrayString args;
  args.LoadFromStream(stream);
  TStack spare;
  spare.LoadFromStream(stream, scene);
  // A frame record takes at least 4 + 4 + 1 + 1 + 4 + 4 + 4 + 4 + 1 bytes.
  const int32_t count = ReadStreamInteger(stream);
  if (count < 0 || count > stream.Remaining() / 27) Raise<EReadError>(TMsg::StreamReadError);
  std::vector<std::unique_ptr<TStack>> frames;
  for (int32_t i = 0; i < count; ++i) {
    frames.push_back(std::make_unique<TStack>());
    frames.back()->LoadFromStream(stream, scene);
  }
  const int32_t level = version >= 116 ? ReadStreamInteger(stream) : 2;
  if (state < 0 || state > 3) Raise<EReadError>(TMsg::InterpreterStateError);
  TPage* page = page_name.empty() ? nullptr : FetchPage(page_name);
  const bool has_command = page && pc >= 0 && pc < page->Count();
  // The entered command's state follows without a length: a page that no longer has that
  // command cannot be read further.
  if (entered && !has_command) Raise<EReadError>(TMsg::InterpreterStateError);

  page_ = page;
  pc_ = pc;
  running_ = running;
  entered_ = entered;
  state_ = state;
  sender_ = sender.empty() || !scene ? nullptr : scene->FindComponent(sender);
  args_ = std::move(args);
  stack_.Clear();
  stack_.Spare() = std::move(spare);
  for (auto& f : frames) stack_.Push() = std::move(*f);
  level_ = level;
  if (entered_ && has_command) page_->Command(pc_)->LoadState(stream);
}

}  // namespace kova
