#include "script/script_host.h"

#include <chrono>

#include "core/desktop.h"
#include "core/file_manager.h"
#include "core/string_list.h"
#include "script/db_manager.h"
#include "script/project.h"

namespace kova {

namespace {

uint64_t RandomSeed() {
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
         static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

}  // namespace

TScriptHost::TScriptHost()
    : own_tables_(std::make_unique<TDBManager>()), tables_(own_tables_.get()), random_(RandomSeed()) {}

TScriptHost::~TScriptHost() = default;

void TScriptHost::SetTables(TDBManager* tables) { tables_ = tables ? tables : own_tables_.get(); }

bool TScriptHost::ProjectFileExists(std::string_view name) const {
  if (name.empty()) return false;
  if (project_) return project_->FileExists(name);
  return files_ && files_->FileExists(name);
}

std::vector<std::string> TScriptHost::ListFonts(bool fixed_pitch_only) const {
  TStringList list;
  kova::ListFonts(*platform_->fonts, list, true, false, fixed_pitch_only);
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Strings(i));
  return names;
}

int32_t TScriptHost::ScreenWidth() const { return project_ ? project_->ScreenWidth : 0; }
int32_t TScriptHost::ScreenHeight() const { return project_ ? project_->ScreenHeight : 0; }
std::string TScriptHost::Title() const { return project_ ? project_->Title : std::string(); }

std::vector<TSaveCaption> TScriptHost::SaveCaptions() const {
  std::vector<TSaveCaption> out;
  if (!project_) return out;
  const TStringList& slots = project_->SlotList;
  out.reserve(static_cast<size_t>(slots.Count()));
  for (int i = 0; i < slots.Count(); ++i) {
    out.push_back({static_cast<int32_t>(slots.ObjectInt(i)), slots.Strings(i)});
  }
  return out;
}

}  // namespace kova
