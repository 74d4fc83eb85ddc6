// The platform services one session works with. Each is an interface of this layer; the player
// window hands its session the desktop backends, headless runs and tests the headless ones that
// THeadlessServices owns. Nothing here is global: two sessions in one process each have their own.
#pragma once

#include "platform/audio_device.h"
#include "platform/text/blank_glyph_fonts.h"
#include "platform/clock.h"
#include "platform/window/dialogs.h"
#include "platform/files/file_calls.h"
#include "platform/text/font_source.h"
#include "platform/window/main_window.h"
#include "platform/files/optical_drives.h"
#include "platform/files/shell_open.h"
#include "platform/window/wallpaper.h"
#include "platform/window/work_area.h"

namespace kova::plat {

// Never null while a session uses it; the owners outlive the session.
struct TServices {
  IClock* clock = nullptr;
  IDialogs* dialogs = nullptr;
  IMainWindow* window = nullptr;
  IFontSource* fonts = nullptr;
  IGlyphFonts* glyphs = nullptr;  // the outline fonts text is drawn from
  IOpticalDrives* optical = nullptr;
  IWorkArea* work_area = nullptr;
  IWallpaper* wallpaper = nullptr;
  IUrlOpener* urls = nullptr;
  // The calls that write the player's own files (its saves) over the old ones.
  IFileCalls* file_calls = nullptr;
  // The sound output (closed until the sound subsystem opens it).
  IAudioDevice* audio = nullptr;
};

// The headless services: the system's clock, boxes answered from a script, a window that records its caption and its
// close requests, no fonts (blank glyphs), no discs, a fixed work area, no wallpaper, addresses only recorded, and
// the null sound device.
// Any member may be pointed elsewhere after construction (a test's fake, a real backend).
class THeadlessServices : public TServices {
 public:
  THeadlessServices() {
    clock = &system_clock;
    dialogs = &headless_dialogs;
    window = &headless_window;
    fonts = &no_fonts;
    glyphs = &blank_glyphs;
    optical = &no_discs;
    work_area = &fixed_work_area;
    wallpaper = &no_wallpaper;
    urls = &recorded_urls;
    file_calls = &SystemFileCalls();
    audio = &no_audio;
  }
  THeadlessServices(const THeadlessServices&) = delete;
  THeadlessServices& operator=(const THeadlessServices&) = delete;

  TSystemClock system_clock;
  THeadlessDialogs headless_dialogs;
  THeadlessMainWindow headless_window;
  TFixedFontSource no_fonts;
  TBlankGlyphFonts blank_glyphs;
  TFixedOpticalDrives no_discs;
  TFixedWorkArea fixed_work_area;
  TNoWallpaper no_wallpaper;
  TRecordingUrlOpener recorded_urls;
  TNullAudioDevice no_audio;
};

}  // namespace kova::plat
