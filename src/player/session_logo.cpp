// The opening logo: the film of the archive the program carries, played on the active layer before
// the game's script starts.
#include <exception>

#include "components/scene/kova_base.h"
#include "components/widgets/kova_label.h"
#include "core/resources.h"
#include "core/vocabulary.h"
#include "player/session.h"

namespace kova {
namespace {

// The archive resource, the film inside it, and what its label is given (file names in code
// page 932: "ロゴ" is 83 8D 83 53).
constexpr const char* kLogoType = "DATA";
constexpr const char* kLogoName = "MADEWITH";
constexpr const char* kLogoFilm = "MadeWithQuennetLogo\\QN\x83\x8D\x83\x53.kcm";
constexpr const char* kLogoCursor = "MadeWithQuennetLogo\\Hand.cur";
// The mouse mask of the logo's click test: every IgnoreMouse value 0 .. 4.
constexpr uint32_t kLogoClickMask = 31;

// The first label of the scene in component order.
TKovaLabel* FindLogoLabel(TKovaBaseList& scene) {
  for (int32_t i = 0; i < scene.GetComponentCount(); ++i) {
    if (auto* label = dynamic_cast<TKovaLabel*>(scene.GetComponent(i))) return label;
  }
  return nullptr;
}

}  // namespace

bool TSession::ProgramHasLogo() { return !ProgramResources().FindResource(kLogoType, kLogoName).empty(); }

void TSession::EndLogo() {
  logo_done_ = true;
  logo_cinema_ = TObjectHandle{};
  if (logo_archive_ >= 0 && logo_archive_ < files_.ArchiveCount()) files_.DeleteArchive(logo_archive_);
  logo_archive_ = -1;
  files_.Cache().Clear();
}

void TSession::LogoStep() {
  TKovaBaseList& scene = SceneRoot();
  TKovaBase* layer = scene.ActiveBase();
  if (!logo_cinema_) {
    try {
      logo_archive_ = files_.AddResourceArchive("", kLogoName, kLogoType);
      // The cinema kind comes with the motion subsystem.
      TKovaObject* cinema = scene.CreateComponent(KT_CINEMA);
      if (!cinema || !cinema->AsControl()) {
        EndLogo();
        return;
      }
      logo_cinema_ = cinema->Handle();
      cinema->SetParent(layer);
      cinema->SetSource(kLogoFilm);
      cinema->SetIgnoreMouse(1);
      cinema->SetAutoScrap(true);
      cinema->SetRepeat(false);
      cinema->SetLeft((layer->GetWidth() - cinema->GetWidth()) / 2);
      cinema->SetTop((layer->GetHeight() - cinema->GetHeight()) / 2);
    } catch (const std::exception&) {
      // A logo that cannot play is left out; the game starts.
      if (TKovaObject* made = scene.Resolve(logo_cinema_)) scene.DeleteComponent(made);
      EndLogo();
    }
    return;
  }
  TKovaObject* cinema = scene.Resolve(logo_cinema_);
  if (!cinema || cinema->IsPendingDeleteSelf()) {
    EndLogo();
    return;
  }
  TKovaLabel* label = FindLogoLabel(scene);
  if (label && TKovaObject::IsInternalName(label->GetName())) {
    label->SetName("Label");
    label->SetCursor(kLogoCursor);
    label->SetIgnoreMouse(3);
  } else if (layer->LeftClick) {
    TKovaControl* hit = layer->HitTest(layer->MousePos(), kLogoClickMask);
    // A click on the label would open the maker's page: there is none, so the logo goes on.
    if (!dynamic_cast<TKovaLabel*>(hit)) cinema->RemoveFromOwner();
  } else if (scene.GetKeyPressed(0x20) || scene.GetKeyPressed(0x0D)) {
    cinema->RemoveFromOwner();
  }
}

}  // namespace kova
