#include "platform/sdl/sdl_video.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_x11.h"
#include "platform/text/text_codec.h"

namespace kova::plat {

namespace {

constexpr uint32_t kVideoSystems = SDL_INIT_VIDEO | SDL_INIT_EVENTS;

TDisplayMode ModeOf(const SDL_DisplayMode& m) {
  // Colours in 32-bit pixels count as 32 bits whatever SDL says of their depth (it calls X-8-8-8 24).
  const int bits = SDL_BYTESPERPIXEL(m.format) == 4 ? 32 : SDL_BITSPERPIXEL(m.format) <= 16 ? 16 : 32;
  return TDisplayMode{m.w, m.h, bits, m.refresh_rate};
}

// A surface over an image's pixels (which it does not own).
SDL_Surface* SurfaceOf(const TImageArgb& image) {
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() < size_t(image.width) * image.height) {
    return nullptr;
  }
  return SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(image.pixels.data()), image.width,
                                            image.height, 32, image.width * 4, SDL_PIXELFORMAT_ARGB8888);
}

TEvent EventOf(TEventKind kind) {
  TEvent e;
  e.kind = kind;
  return e;
}

}  // namespace

// ---- TSdlVideo ----

std::unique_ptr<TSdlVideo> TSdlVideo::Open(std::string* error) {
  // A click that brings the window to the front also counts as a click, as it does for the game's
  // own platform.
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  if (SDL_InitSubSystem(kVideoSystems) != 0) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  return std::unique_ptr<TSdlVideo>(new TSdlVideo());
}

TSdlVideo::~TSdlVideo() { SDL_QuitSubSystem(kVideoSystems); }

std::string TSdlVideo::DriverName() const {
  const char* name = SDL_GetCurrentVideoDriver();
  return name ? name : "";
}

// ---- TSdlDisplay ----

TDesktopMode TSdlDisplay::DesktopMode() {
  SDL_DisplayMode m{};
  if (SDL_GetDesktopDisplayMode(index_, &m) != 0) return TDesktopMode{TDisplayMode{1024, 768, 32, 0}, false};
  TDesktopMode desktop{ModeOf(m), false};
  desktop.masks555 = SDL_PIXELTYPE(m.format) == SDL_PIXELTYPE_PACKED16 && SDL_BITSPERPIXEL(m.format) == 15;
  return desktop;
}

std::vector<TDisplayMode> TSdlDisplay::Modes() {
  std::vector<TDisplayMode> modes;
  const int count = SDL_GetNumDisplayModes(index_);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(index_, i, &m) != 0) continue;
    const TDisplayMode mode = ModeOf(m);
    if (std::find(modes.begin(), modes.end(), mode) == modes.end()) modes.push_back(mode);
  }
  if (modes.empty()) modes.push_back(DesktopMode().mode);
  return modes;
}

TScreenRect TSdlDisplay::WorkArea() {
  SDL_Rect r{};
  if (SDL_GetDisplayUsableBounds(index_, &r) == 0 && r.w > 0 && r.h > 0) {
    return TScreenRect{r.x, r.y, r.x + r.w, r.y + r.h};
  }
  const TDisplayMode m = DesktopMode().mode;
  return TScreenRect{0, 0, m.Width, m.Height};
}

// ---- TSdlWindow ----

std::unique_ptr<TSdlWindow> TSdlWindow::Create(TSdlVideo&, std::string_view caption, TSize client,
                                               const TOptions& options, std::string* error) {
  uint32_t flags = options.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
  if (options.resizable) flags |= SDL_WINDOW_RESIZABLE;
  SDL_Window* w = SDL_CreateWindow(Cp932ToUtf8(caption).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   std::max(client.width, 1), std::max(client.height, 1), flags);
  if (!w) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  SetLegacyTitle(w, Cp932ToUtf8(caption).c_str());
  std::unique_ptr<TSdlWindow> window(new TSdlWindow(w));
  window->caption_ = caption;
  // Keys go to the game as keys until an edit field asks for text.
  SDL_StopTextInput();
  return window;
}

TSdlWindow::~TSdlWindow() {
  if (cursor_) {
    SDL_SetCursor(SDL_GetDefaultCursor());
    SDL_FreeCursor(cursor_);
  }
  SDL_DestroyWindow(window_);
}

void TSdlWindow::SetCaption(std::string_view caption) {
  caption_ = caption;
  const std::string title = Cp932ToUtf8(caption);
  SDL_SetWindowTitle(window_, title.c_str());
  SetLegacyTitle(window_, title.c_str());
}

void TSdlWindow::Show() {
  if (Visible()) return;
  SDL_ShowWindow(window_);
  // With nobody to hand out the focus (no window manager) the player takes it, as a program the
  // user just started has it.
  if (!HasWindowManager(window_)) {
    SDL_RaiseWindow(window_);
    SDL_SetWindowInputFocus(window_);
  }
}

bool TSdlWindow::Visible() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) != 0; }

void TSdlWindow::SetClientSize(TSize size) {
  size = TSize{std::max(size.width, 1), std::max(size.height, 1)};
  if (full_screen_) {
    before_full_screen_.client = size;
    return;
  }
  SDL_SetWindowSize(window_, size.width, size.height);
}

TSize TSdlWindow::ClientSize() const {
  TSize s;
  SDL_GetWindowSize(window_, &s.width, &s.height);
  return s;
}

void TSdlWindow::SetPosition(TPoint position) {
  if (full_screen_) {
    before_full_screen_.position = position;
    return;
  }
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) != 0) top = left = 0;
  SDL_SetWindowPosition(window_, position.x + left, position.y + top);
}

TPoint TSdlWindow::Position() const {
  TPoint p;
  SDL_GetWindowPosition(window_, &p.x, &p.y);
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0) {
    p.x -= left;
    p.y -= top;
  }
  return p;
}

TSize TSdlWindow::FrameSize() const {
  TSize s = ClientSize();
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(window_, &top, &left, &bottom, &right) == 0) {
    s.width += left + right;
    s.height += top + bottom;
  }
  return s;
}

void TSdlWindow::SetBordered(bool bordered) {
  if (full_screen_) {
    before_full_screen_.bordered = bordered;
    return;
  }
  SDL_SetWindowBordered(window_, bordered ? SDL_TRUE : SDL_FALSE);
}

bool TSdlWindow::Bordered() const { return (SDL_GetWindowFlags(window_) & SDL_WINDOW_BORDERLESS) == 0; }

TWindowPlacement TSdlWindow::SavePlacement() const {
  if (full_screen_) return before_full_screen_;
  return TWindowPlacement{Position(), ClientSize(), Bordered()};
}

void TSdlWindow::RestorePlacement(const TWindowPlacement& placement) {
  if (full_screen_) {
    before_full_screen_ = placement;
    return;
  }
  SetBordered(placement.bordered);
  SetClientSize(placement.client);
  SetPosition(placement.position);
}

bool TSdlWindow::EnterFullScreen() {
  if (full_screen_) return true;
  const TWindowPlacement before = SavePlacement();
  if (HasWindowManager(window_)) {
    if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
    covering_ = false;
  } else {
    // Nobody would act on a full-screen request: the window covers its display by itself.
    const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
    SDL_Rect bounds{};
    if (SDL_GetDisplayBounds(display, &bounds) != 0) return false;
    SDL_SetWindowBordered(window_, SDL_FALSE);
    SDL_SetWindowPosition(window_, bounds.x, bounds.y);
    SDL_SetWindowSize(window_, bounds.w, bounds.h);
    SDL_RaiseWindow(window_);
    covering_ = true;
  }
  before_full_screen_ = before;
  full_screen_ = true;
  return true;
}

void TSdlWindow::LeaveFullScreen() {
  if (!full_screen_) return;
  if (!covering_) SDL_SetWindowFullscreen(window_, 0);
  full_screen_ = false;
  RestorePlacement(before_full_screen_);
}

bool TSdlWindow::IsFullScreen() const { return full_screen_; }

bool TSdlWindow::HasFocus() const {
  if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS) != 0) return true;
  // Drivers without a display have no focus to give.
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver && (std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0);
}

TViewport TSdlWindow::Viewport() const {
  const TSize client = ClientSize();
  return TViewport(client, top_strip_, game_.width > 0 ? game_ : client);
}

TViewport TSdlWindow::OutputViewport(TSize output) const {
  const TSize client = ClientSize();
  const int32_t strip = client.height > 0 ? int32_t(int64_t{top_strip_} * output.height / client.height) : 0;
  return TViewport(output, strip, game_.width > 0 ? game_ : output);
}

void TSdlWindow::WarpPointer(TPoint game) {
  const TPoint p = Viewport().ToWindow(game);
  SDL_WarpMouseInWindow(window_, p.x, p.y);
}

void TSdlWindow::SetCursorImage(const TImageArgb* image, TPoint hot_spot) {
  SDL_Cursor* cursor = nullptr;
  if (image) {
    if (SDL_Surface* surface = SurfaceOf(*image)) {
      cursor = SDL_CreateColorCursor(surface, hot_spot.x, hot_spot.y);
      SDL_FreeSurface(surface);
    }
  }
  SDL_SetCursor(cursor ? cursor : SDL_GetDefaultCursor());
  if (cursor_) SDL_FreeCursor(cursor_);
  cursor_ = cursor;
}

void TSdlWindow::SetIcon(const TImageArgb& icon) {
  if (SDL_Surface* surface = SurfaceOf(icon)) {
    SDL_SetWindowIcon(window_, surface);
    SDL_FreeSurface(surface);
  }
}

void TSdlWindow::ShowWarning(std::string_view title, std::string_view text) {
  std::fprintf(stderr, "%s\n", Cp932ToUtf8(text).c_str());
  if (dialogs_) {
    TMessageBox box;
    box.owner = window_;
    box.title = title;
    box.text = text;
    dialogs_->ShowMessage(box);
    return;
  }
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, Cp932ToUtf8(title).c_str(), Cp932ToUtf8(text).c_str(), window_);
}

void TSdlWindow::BeginTextInput(const TScreenRect& field) {
  const TViewport view = Viewport();
  const TPoint a = view.ToWindow(TPoint{field.left, field.top});
  const TPoint b = view.ToWindow(TPoint{field.right - 1, field.bottom - 1});
  SDL_Rect r{a.x, a.y, std::max(b.x - a.x, 1), std::max(b.y - a.y, 1)};
  SDL_SetTextInputRect(&r);
  SDL_StartTextInput();
}

void TSdlWindow::EndTextInput() { SDL_StopTextInput(); }

// ---- TSdlPresenter ----

std::unique_ptr<TSdlPresenter> TSdlPresenter::Create(TSdlWindow& window, TSize game, const TOptions& options,
                                                     std::string* error) {
  game = TSize{std::max(game.width, 1), std::max(game.height, 1)};
  std::unique_ptr<TSdlPresenter> p(new TSdlPresenter(window, game));
  if (!options.software) p->renderer_ = SDL_CreateRenderer(window.Handle(), -1, SDL_RENDERER_ACCELERATED);
  if (!p->renderer_) p->renderer_ = SDL_CreateRenderer(window.Handle(), -1, SDL_RENDERER_SOFTWARE);
  if (!p->renderer_) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  // A renderer may make the X window anew (for OpenGL), with SDL's own title on it.
  SetLegacyTitle(window.Handle(), Cp932ToUtf8(window.Caption()).c_str());
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, options.smooth_scale ? "linear" : "nearest");
  p->texture_ = SDL_CreateTexture(p->renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                  game.width, game.height);
  if (!p->texture_) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  // The picture starts black.
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(p->texture_, nullptr, &pixels, &pitch) == 0) {
    for (int y = 0; y < game.height; ++y) std::memset(static_cast<uint8_t*>(pixels) + ptrdiff_t{pitch} * y, 0, size_t(game.width) * 4);
    SDL_UnlockTexture(p->texture_);
  }
  window.SetGameSize(game);
  return p;
}

TSdlPresenter::~TSdlPresenter() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
}

std::string TSdlPresenter::RendererName() const {
  SDL_RendererInfo info{};
  return SDL_GetRendererInfo(renderer_, &info) == 0 && info.name ? info.name : "";
}

bool TSdlPresenter::Accelerated() const {
  SDL_RendererInfo info{};
  return SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_ACCELERATED) != 0;
}

bool TSdlPresenter::Upload(const TFrameBuffer& frame, const TScreenRect& rect) {
  const SDL_Rect r{rect.left, rect.top, rect.Width(), rect.Height()};
  void* pixels = nullptr;
  int pitch = 0;
  if (SDL_LockTexture(texture_, &r, &pixels, &pitch) != 0) return false;
  ConvertFrameRect(frame, rect, static_cast<uint8_t*>(pixels), pitch);
  SDL_UnlockTexture(texture_);
  return true;
}

void TSdlPresenter::Show() {
  TSize output;
  if (SDL_GetRendererOutputSize(renderer_, &output.width, &output.height) != 0) return;
  const TViewport view = window_.OutputViewport(output);
  const TScreenRect pic = view.Picture();
  // Black bars and strip; nothing to clear when the picture covers the whole output.
  if (pic != TScreenRect{0, 0, output.width, output.height}) {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
  }
  const SDL_Rect dst{pic.left, pic.top, pic.Width(), pic.Height()};
  SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
  if (overlay_) overlay_(renderer_, view);
  SDL_RenderPresent(renderer_);
}

void TSdlPresenter::PresentRects(const TFrameBuffer& frame, std::span<const TScreenRect> rects) {
  if (!frame.IsValid()) return;
  TFrameBuffer view = frame;
  view.width = std::min(frame.width, game_.width);
  view.height = std::min(frame.height, game_.height);
  bool any = false;
  for (const TScreenRect& r : rects) {
    const TScreenRect c = ClipToFrame(view, r);
    if (!c.IsEmpty() && Upload(view, c)) any = true;
  }
  if (any) Show();
}

void TSdlPresenter::RepaintAll(const TFrameBuffer& frame) {
  const TScreenRect all{0, 0, game_.width, game_.height};
  PresentRects(frame, std::span(&all, 1));
}

// ---- TSdlEvents ----

TSdlEvents::TSdlEvents(TSdlWindow& window) : window_(window) {
  const uint32_t first = SDL_RegisterEvents(2);
  user_type_ = first != uint32_t(-1) ? first : uint32_t{SDL_USEREVENT};
  wake_type_ = user_type_ + 1;
}

void TSdlEvents::PostUser(uint32_t code, int64_t param1, int64_t param2) {
  SDL_Event e{};
  e.type = user_type_;
  e.user.code = static_cast<Sint32>(code);
  e.user.data1 = reinterpret_cast<void*>(static_cast<intptr_t>(param1));
  e.user.data2 = reinterpret_cast<void*>(static_cast<intptr_t>(param2));
  SDL_PushEvent(&e);
}

void TSdlEvents::Wake() {
  if (wake_queued_.exchange(true)) return;
  SDL_Event e{};
  e.type = wake_type_;
  if (SDL_PushEvent(&e) != 1) wake_queued_ = false;
}

bool TSdlEvents::Pop(TEvent& event) {
  if (pending_.empty()) return false;
  event = std::move(pending_.front());
  pending_.pop_front();
  return true;
}

bool TSdlEvents::Poll(TEvent& event) {
  if (Pop(event)) return true;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    Translate(e);
    if (Pop(event)) return true;
  }
  return false;
}

bool TSdlEvents::Wait(TEvent& event, int32_t timeout_ms) {
  if (Pop(event)) return true;
  const uint64_t deadline = SDL_GetTicks64() + uint64_t(std::max(timeout_ms, 0));
  for (;;) {
    SDL_Event e;
    int got;
    if (timeout_ms < 0) {
      got = SDL_WaitEvent(&e);
    } else {
      const uint64_t now = SDL_GetTicks64();
      got = SDL_WaitEventTimeout(&e, now >= deadline ? 0 : int(deadline - now));
    }
    if (!got) return false;
    Translate(e);
    if (Pop(event)) return true;
    if (timeout_ms >= 0 && SDL_GetTicks64() >= deadline) return false;
  }
}

void TSdlEvents::Translate(const SDL_Event& e) {
  const uint32_t id = SDL_GetWindowID(window_.Handle());
  auto button_of = [](uint8_t b) {
    return b == SDL_BUTTON_LEFT ? TMouseButton::Left : b == SDL_BUTTON_RIGHT ? TMouseButton::Right : TMouseButton::None;
  };
  TEvent out;
  switch (e.type) {
    case SDL_QUIT:
      Push(EventOf(TEventKind::Close));
      return;
    case SDL_WINDOWEVENT:
      if (e.window.windowID != id) return;
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          Push(EventOf(TEventKind::Close));
          return;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          Push(EventOf(TEventKind::Activate));
          return;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          for (TEvent& up : mouse_.ReleaseAll()) Push(std::move(up));
          Push(EventOf(TEventKind::Deactivate));
          return;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESTORED:
          Push(EventOf(TEventKind::Expose));
          return;
        default:
          return;
      }
    case SDL_DISPLAYEVENT:
      Push(EventOf(TEventKind::DisplayChange));
      return;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      Push(EventOf(TEventKind::Expose));
      return;
    case SDL_MOUSEMOTION:
      if (e.motion.windowID == id && mouse_.Move(window_.Viewport(), TPoint{e.motion.x, e.motion.y}, out)) Push(out);
      return;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.windowID == id &&
          mouse_.Down(window_.Viewport(), button_of(e.button.button), TPoint{e.button.x, e.button.y}, out)) {
        Push(out);
      }
      return;
    case SDL_MOUSEBUTTONUP:
      if (e.button.windowID == id &&
          mouse_.Up(window_.Viewport(), button_of(e.button.button), TPoint{e.button.x, e.button.y}, out)) {
        Push(out);
      }
      return;
    case SDL_MOUSEWHEEL: {
      int32_t steps = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) steps = -steps;
      if (steps == 0) return;
      out.kind = TEventKind::Wheel;
      out.wheel = steps;
      Push(out);
      return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int32_t vk = VirtualKeyOf(e.key.keysym.sym, e.key.keysym.mod);
      if (vk == 0) return;
      out.kind = e.type == SDL_KEYDOWN ? TEventKind::KeyDown : TEventKind::KeyUp;
      out.key = vk;
      out.repeat = e.type == SDL_KEYDOWN && e.key.repeat != 0;
      Push(out);
      return;
    }
    case SDL_TEXTINPUT:
      out.kind = TEventKind::TextInput;
      // A character the code page cannot hold is refused here, never turned into another one.
      out.text = Utf8ToCp932Held(e.text.text);
      if (out.text.empty()) return;
      Push(out);
      return;
    case SDL_TEXTEDITING:
      out.kind = TEventKind::TextEditing;
      out.text = Utf8ToCp932Held(e.edit.text);
      out.edit_start = e.edit.start;
      out.edit_length = e.edit.length;
      Push(out);
      return;
    default:
      break;
  }
  if (e.type == user_type_) {
    out.kind = TEventKind::User;
    out.code = static_cast<uint32_t>(e.user.code);
    out.param1 = static_cast<int64_t>(reinterpret_cast<intptr_t>(e.user.data1));
    out.param2 = static_cast<int64_t>(reinterpret_cast<intptr_t>(e.user.data2));
    Push(out);
  } else if (e.type == wake_type_) {
    wake_queued_ = false;
    Push(EventOf(TEventKind::Wake));
  }
}

}  // namespace kova::plat
