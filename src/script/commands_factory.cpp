#include "core/errors.h"
#include "script/commands.h"
#include "script/commands_flow.h"
#include "script/commands_var.h"
#include "script/script_errors.h"
#include "script/subsystem_commands.h"

namespace kova {

namespace {

using TMaker = std::unique_ptr<TCommand> (*)(TPage&);

template <class T>
std::unique_ptr<TCommand> Make(TPage& page) {
  return std::make_unique<T>(page);
}

// Indexed by type code.
constexpr TMaker kMakers[kCommandKindCount] = {
    Make<TComIf>,          Make<TComElseif>,       Make<TComElse>,         Make<TComLabel>,
    Make<TComJump>,        Make<TComCall>,         Make<TComExit>,         Make<TComWait>,
    Make<TComBoxNew>,      Make<TComImgNew>,       Make<TComMesNew>,       Make<TComTimer>,
    Make<TComMovie>,       Make<TComFlip>,         Make<TComCalc>,         Make<TComVarNew>,
    Make<TComVarDel>,      Make<TComGetProp>,      Make<TComSetProp>,      Make<TComObjDel>,
    Make<TComTextIns>,     Make<TComMovieStop>,    Make<TComClrHist>,      Make<TComCinema>,
    Make<TComCaption>,     Make<TComMenu>,         Make<TComMenuClose>,    Make<TComComment>,
    Make<TComTextClr>,     Make<TComCallHist>,     Make<TComBtnNew>,       Make<TComWhile>,
    Make<TComWhileInit>,   Make<TComWhileLoop>,    Make<TComBreak>,        Make<TComContinue>,
    Make<TComParticleNew>, Make<TComFireNew>,      Make<TComGameSave>,     Make<TComGameLoad>,
    Make<TComPCReset>,     Make<TComReset>,        Make<TComSound>,        Make<TComEditNew>,
    Make<TComMemoNew>,     Make<TComTerminate>,    Make<TComDoEvent>,      Make<TComClrRead>,
    Make<TComMapImgNew>,   Make<TComWaveNew>,      Make<TComTileNew>,      Make<TComSliderNew>,
    Make<TComScrollbarNew>, Make<TComGaugeNew>,    Make<TComCGCaption>,    Make<TComMediaPlay>,
    Make<TComPrevMenuNew>, Make<TComPropMotion>,   Make<TComEntryHist>,    Make<TComCabinetSave>,
    Make<TComCabinetLoad>,
};

}  // namespace

std::unique_ptr<TCommand> CreateCommand(TPage& page, uint8_t code) {
  const uint8_t kind = code & 0x7F;
  if (kind >= kCommandKindCount) Raise<EScriptError>(TMsg::CommandInvalid);
  return kMakers[kind](page);
}

}  // namespace kova
