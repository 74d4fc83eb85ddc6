#include "core/vocabulary.h"

#include <iterator>

namespace kova {
namespace {

constexpr std::string_view kCompoTypeNames[] = {
  "KT_NONE", "KT_AUDIO", "KT_BOX", "KT_BUTTON", "KT_CINEMA", "KT_EDIT", "KT_FIRE", "KT_HTTP",
  "KT_IMAGES", "KT_LABEL", "KT_MAP", "KT_MEMO", "KT_MENU", "KT_MES", "KT_PARTICLE", "KT_TIMER",
  "KT_VIDEO", "KT_SOUND", "KT_MAPIMG", "KT_WAVE", "KT_TILE", "KT_SLIDER", "KT_SCROLLBAR",
  "KT_GAUGE", "KT_CGLABEL", "KT_PREVMENU", "KT_PROPMOTION", "KT_CABINET",
};
static_assert(std::size(kCompoTypeNames) == kCompoTypeCount);

constexpr std::string_view kWipeTypeNames[] = {
  "WP_NONE", "WP_FADE", "WP_BLINDH", "WP_BLINDV", "WP_CURTAINH", "WP_CURTAINV", "WP_SCROLLH",
  "WP_SCROLLV", "WP_GRID", "WP_GRIDH", "WP_GRIDV", "WP_DITHER", "WP_WHITE", "WP_BLACK", "WP_FLASH",
  "WP_MOSAIC", "WP_SUDAREH", "WP_SUDAREV", "WP_SPOT", "WP_MASKFADE", "WP_MASKWHITE", "WP_MASKBLACK",
  "WP_SMALL", "WP_BIG", "WP_RIPPLE", "WP_BLURWHITE", "WP_BLURBLACK", "WP_TWISTH", "WP_TWISTV",
  "WP_CRACK", "WP_ZOOMIN", "WP_CLOCKHAND",
};
static_assert(std::size(kWipeTypeNames) == kWipeTypeCount);

constexpr std::string_view kOpCodeNames[] = {
  "ocNone", "ocTo", "ocPlus", "ocMinus", "ocMul", "ocDiv", "ocMod", "ocOr", "ocAnd", "ocXor",
  "ocDimTo", "ocFunc", "ocEqual", "ocBig", "ocSmall", "ocEBig", "ocESmall", "ocShiftL", "ocShiftR",
  "ocComboStr", "ocNEqual",
};
static_assert(std::size(kOpCodeNames) == kOpCodeCount);

constexpr std::string_view kParamTypeNames[] = {
  "PT_NONE", "PT_INT", "PT_FLOAT", "PT_BOOL", "PT_STR",
};
static_assert(std::size(kParamTypeNames) == kParamTypeCount);

constexpr std::string_view kMotionTypeNames[] = {
  "MT_NORMAL", "MT_INC", "MT_DEC",
};
static_assert(std::size(kMotionTypeNames) == kMotionTypeCount);

constexpr std::string_view kOrientationNames[] = {
  "OT_HORIZONTAL", "OT_VERTICAL",
};
static_assert(std::size(kOrientationNames) == kOrientationCount);

constexpr std::string_view kIgnoreMouseNames[] = {
  "IM_NONE", "IM_ALL", "IM_CLICK", "IM_LCLICK", "IM_RCLICK",
};
static_assert(std::size(kIgnoreMouseNames) == kIgnoreMouseCount);

constexpr std::string_view kParticleModeNames[] = {
  "PM_NONE", "PM_SNOW", "PM_STAR", "PM_FLUFF", "PM_TWISTER",
};
static_assert(std::size(kParticleModeNames) == kParticleModeCount);

constexpr std::string_view kMediaPlayModeNames[] = {
  "LP_PLAY", "LP_PLAYFADE", "LP_STOP", "LP_STOPFADE",
};
static_assert(std::size(kMediaPlayModeNames) == kMediaPlayModeCount);

constexpr std::string_view kVAlignNames[] = {
  "VA_TOP", "VA_CENTER", "VA_BOTTOM",
};
static_assert(std::size(kVAlignNames) == kVAlignCount);

constexpr std::string_view kHAlignNames[] = {
  "HA_LEFT", "HA_CENTER", "HA_RIGHT",
};
static_assert(std::size(kHAlignNames) == kHAlignCount);

constexpr std::string_view kFlipPlaceNames[] = {
  "FL_OUT", "FL_STAY",
};
static_assert(std::size(kFlipPlaceNames) == kFlipPlaceCount);

constexpr std::string_view kFontStyleNames[] = {
  "FS_BOLD", "FS_ITALIC", "FS_UNDERLINE", "FS_STRIKEOUT",
};
static_assert(std::size(kFontStyleNames) == kFontStyleCount);

constexpr std::string_view kProjectMessageNames[] = {
  "CHANGEMEDIA", "EXIT",
};
static_assert(std::size(kProjectMessageNames) == kProjectMessageCount);

constexpr std::string_view kPropNames[] = {
  "PR_NAME", "PR_PARENT", "PR_SOURCE", "PR_LEFT", "PR_TOP", "PR_WIDTH", "PR_HEIGHT", "PR_ZOOMX",
  "PR_COLOR", "PR_BORDERWIDTH", "PR_BORDERCOLOR", "PR_ALPHA", "PR_PRIORITY", "PR_OFFSETX",
  "PR_OFFSETY", "PR_FONTNAME", "PR_FONTHEIGHT", "PR_FONTSTYLE", "PR_LINESPACE", "PR_FONTCOLOR",
  "PR_FONTLINKCOLOR", "PR_FONTBORDERCOLOR", "PR_FONTHOVERCOLOR", "PR_FONTHOVERSTYLE",
  "PR_HOVERCOLOR", "PR_ANTIALIAS", "PR_DELAY", "PR_PAUSED", "PR_VOLUME", "PR_REPEAT", "PR_BALANCE",
  "PR_ANGLE", "PR_ONPLAYING", "PR_ONNOTIFY", "PR_ONMOUSEMOVE", "PR_ONMOUSEOUT", "PR_ONLBTNDOWN",
  "PR_ONLBTNUP", "PR_ONRBTNDOWN", "PR_ONRBTNUP", "PR_ONWHEELDOWN", "PR_ONWHEELUP", "PR_BRIGHTNESS",
  "PR_ONPLAYEND", "PR_INDEX", "PR_COUNT", "PR_ONLINK", "PR_VISIBLE", "PR_COLCOUNT", "PR_ROWCOUNT",
  "PR_TEXT", "PR_MARGINX", "PR_MARGINY", "PR_HALIGN", "PR_BORDERSOURCETL", "PR_BORDERSOURCETC",
  "PR_BORDERSOURCETR", "PR_BORDERSOURCECL", "PR_BORDERSOURCECC", "PR_BORDERSOURCECR",
  "PR_BORDERSOURCEBL", "PR_BORDERSOURCEBC", "PR_BORDERSOURCEBR", "PR_BORDERHALIGNT",
  "PR_BORDERHALIGNC", "PR_BORDERHALIGNB", "PR_BORDERVALIGNL", "PR_BORDERVALIGNC",
  "PR_BORDERVALIGNR", "PR_SCROLLSOURCE", "PR_CHECKSOURCE", "PR_AUTOSCRAP", "PR_ONSELECT",
  "PR_RCLICKSCRAP", "PR_ONOPENING", "PR_ONOPENED", "PR_ONCLOSING", "PR_ONCLOSED", "PR_CARETX",
  "PR_CARETY", "PR_IGNOREMOUSE", "PR_TEXTPAUSED", "PR_TEXTDELAY", "PR_HOVERSOURCE",
  "PR_PRESSEDSOURCE", "PR_GROUPINDEX", "PR_ALLOWALLUP", "PR_SELECTED", "PR_CAPTUREMASK", "PR_POWER",
  "PR_ORIGWIDTH", "PR_ORIGHEIGHT", "PR_APPEARX", "PR_APPEARY", "PR_PARTMOTION", "PR_PARAM1",
  "PR_PARAM2", "PR_TOPINDEX", "PR_READONLY", "PR_CURSOR", "PR_POSZOOMED", "PR_ONPLAYSTART",
  "PR_PARAM3", "PR_ONMOUSEIN", "PR_ONMAPIN", "PR_ONMAPOUT", "PR_MAPSOURCE", "PR_AMP", "PR_WAVELEN",
  "PR_SCROLLX", "PR_SCROLLY", "PR_FLIPH", "PR_FLIPV", "PR_ONIDLE", "PR_DISTANCEX", "PR_DISTANCEY",
  "PR_CLIPLEFT", "PR_CLIPTOP", "PR_CLIPWIDTH", "PR_CLIPHEIGHT", "PR_DURATION", "PR_THUMBSOURCE",
  "PR_BUTTONSOURCE", "PR_MIN", "PR_MAX", "PR_VALUE", "PR_ORIENTATION", "PR_SMALLCHANGE",
  "PR_LARGECHANGE", "PR_MAPTEXT", "PR_GLYPHWIDTH", "PR_GLYPHHEIGHT", "PR_ZOOMY", "PR_CLICKEDSOURCE",
  "PR_ANIPAUSED", "PR_ONHOLD", "PR_ONRELEASE", "PR_REVERSE", "PR_PLAYING", "PR_REWINDONLOAD",
  "PR_COMPOTYPE", "PR_FONTSHADOWCOLOR", "PR_FONTBORDER", "PR_FONTSHADOW", "PR_ONKEYDOWN",
  "PR_ONKEYUP", "PR_ONKEYREPEAT", "PR_HANDLEKEY", "PR_ONFOCUSIN", "PR_ONFOCUSOUT", "PR_OVERLAY",
  "PR_TAG", "PR_CAPTURELINK", "PR_FONTHOVERBORDER", "PR_FONTHOVERBORDERCOLOR", "PR_FONTHOVERSHADOW",
  "PR_FONTHOVERSHADOWCOLOR", "PR_BARSIZE", "PR_MUTEONLOAD",
};
static_assert(std::size(kPropNames) == kPropCount);

constexpr std::string_view kCommandKindNames[] = {
  "If", "Elseif", "Else", "Label", "Jump", "Call", "Exit", "Wait", "BoxNew", "ImgNew", "MesNew",
  "Timer", "Movie", "Flip", "Calc", "VarNew", "VarDel", "GetProp", "SetProp", "ObjDel", "TextIns",
  "MovieStop", "ClrHist", "Cinema", "Caption", "Menu", "MenuClose", "Comment", "TextClr",
  "CallHist", "Button", "While", "WhileInit", "WhileLoop", "Break", "Continue", "ParticleNew",
  "FireNew", "GameSave", "GameLoad", "PCReset", "Reset", "Sound", "EditNew", "MemoNew", "Terminate",
  "DoEvent", "ClrRead", "MapImgNew", "WaveNew", "TileNew", "SliderNew", "ScrollbarNew", "GaugeNew",
  "CGCaption", "MediaPlay", "PrevMenuNew", "PropMotion", "FormatHist", "SaveCabinet", "LoadCabinet",
};
static_assert(std::size(kCommandKindNames) == kCommandKindCount);

constexpr std::string_view kSysFuncNames[] = {
  "IntToStr", "IntToHex", "GetProp", "SetProp", "GetArraySize", "Length", "JLength", "Copy",
  "JCopy", "Delete", "JDelete", "Insert", "JInsert", "CompareStr", "CompareText", "Pos", "JPos",
  "Trim", "JTrim", "Exists", "Not", "SetArray", "FillMem", "CopyMem", "GetCheck", "SetCheck",
  "Random", "GetSaveCaption", "ArrayToString", "StringToArray", "IndexOfStr", "SortStr",
  "ListCompo", "ToClientX", "ToClientY", "ToScreenX", "ToScreenY", "Int", "Float", "Sin", "Cos",
  "Tan", "ArcSin", "ArcCos", "ArcTan", "ArcTan2", "Hypot", "IndexOfMenu", "Abs", "Fabs",
  "VarExists", "EncodeDate", "EncodeTime", "DecodeDate", "DecodeTime", "GetYear", "GetMonth",
  "GetDay", "GetHour", "GetMin", "GetSec", "GetWeek", "GetWeekStr", "GetWeekJStr", "FixStr",
  "GetDisplayMode", "AddArray", "InsertArray", "DeleteArray", "InPrimary", "CopyArray",
  "FileExists", "LoadTextFile", "LowerCase", "UpperCase", "ExtractFilePath", "ExtractFileName",
  "ExtractFileExt", "IsPathDelimiter", "AddBackSlash", "ChangeFileExt", "IsDelimiter",
  "StringOfChar", "StringReplace", "AssignTemp", "HanToZen", "ZenToHan", "DBCreateTable",
  "DBSetActive", "DBAddField", "DBSetRecNo", "DBInsert", "DBDelete", "DBGetInt", "DBSetInt",
  "DBGetFloat", "DBSetFloat", "DBGetBool", "DBSetBool", "DBGetStr", "DBSetStr", "DBRecordCount",
  "DBFindFirst", "DBFindLast", "DBFindNext", "DBFindPrior", "DBLocate", "DBLoadTsvFile",
  "DBDirectGetInt", "DBDirectSetInt", "DBDirectGetFloat", "DBDirectSetFloat", "DBDirectGetBool",
  "DBDirectSetBool", "DBDirectGetStr", "DBDirectSetStr", "DBCopyTable", "DBDeleteTable",
  "DBInsertTable", "DBCopy", "DBClearTable", "DBSort", "DBGetActive", "DBGetRecNo", "DBClearRecord",
  "SetWallPaper", "Min", "Max", "Fmin", "Fmax", "GetVarType", "GetEnabled", "SetEnabled",
  "AddDelimiter", "ListSaveCaption", "OpenUrl",
};
static_assert(std::size(kSysFuncNames) == kSysFuncCount);

constexpr std::string_view kSysVarNames[] = {
  "@Result", "@LClick", "@RClick", "@LPush", "@RPush", "@MouseX", "@MouseY", "@TextDelay",
  "@HistoryCount", "@ParamCount", "@ParamStr", "@Sender", "@ScrWidth", "@ScrHeight", "@TickCount",
  "@PCTickCount", "@UpdateCount", "@Year", "@Month", "@Day", "@Week", "@Hour", "@Min", "@Sec",
  "@Fonts", "@FixedFonts", "@FullScr", "@Cursor", "@SelStr", "@SelIndex", "@Pi", "@CGDither",
  "@1Hour", "@1Min", "@1Sec", "@KeyPush", "@KeyClick", "@DisplayModeCount", "@DisplayModeIndex",
  "@Title", "@SoundON", "@ActiveCompo", "@KeyRepeat", "@HistoryMaxCount", "@Temp", "@MidiPort",
  "@MidiPorts", "@WheelDown", "@WheelUp",
};
static_assert(std::size(kSysVarNames) == kSysVarCount);

constexpr std::string_view kKeyNames[] = {
  "VkmBACK", "VkmTAB", "VkmRETURN", "VkmSHIFT", "VkmCONTROL", "VkmALT", "VkmPAUSE", "VkmCAPITAL",
  "VkmESCAPE", "VkmSPACE", "VkmPAGEUP", "VkmPAGEDOWN", "VkmEND", "VkmHOME", "VkmLEFT", "VkmUP",
  "VkmRIGHT", "VkmDOWN", "VkmINSERT", "VkmDELETE", "Vkm0", "Vkm1", "Vkm2", "Vkm3", "Vkm4", "Vkm5",
  "Vkm6", "Vkm7", "Vkm8", "Vkm9", "VkmA", "VkmB", "VkmC", "VkmD", "VkmE", "VkmF", "VkmG", "VkmH",
  "VkmI", "VkmJ", "VkmK", "VkmL", "VkmM", "VkmN", "VkmO", "VkmP", "VkmQ", "VkmR", "VkmS", "VkmT",
  "VkmU", "VkmV", "VkmW", "VkmX", "VkmY", "VkmZ", "VkmF1", "VkmF2", "VkmF3", "VkmF4", "VkmF5",
  "VkmF6", "VkmF7", "VkmF8", "VkmF9", "VkmF10", "VkmF11", "VkmF12", "VkmWheelDown", "VkmWheelUp",
};
static_assert(std::size(kKeyNames) == kKeyCount);

}  // namespace

const TNameTable& CompoTypeNames() {
  static constexpr TNameTable table(kCompoTypeNames);
  return table;
}

const TNameTable& WipeTypeNames() {
  static constexpr TNameTable table(kWipeTypeNames);
  return table;
}

const TNameTable& OpCodeNames() {
  static constexpr TNameTable table(kOpCodeNames);
  return table;
}

const TNameTable& ParamTypeNames() {
  static constexpr TNameTable table(kParamTypeNames);
  return table;
}

const TNameTable& MotionTypeNames() {
  static constexpr TNameTable table(kMotionTypeNames);
  return table;
}

const TNameTable& OrientationNames() {
  static constexpr TNameTable table(kOrientationNames);
  return table;
}

const TNameTable& IgnoreMouseNames() {
  static constexpr TNameTable table(kIgnoreMouseNames);
  return table;
}

const TNameTable& ParticleModeNames() {
  static constexpr TNameTable table(kParticleModeNames);
  return table;
}

const TNameTable& MediaPlayModeNames() {
  static constexpr TNameTable table(kMediaPlayModeNames);
  return table;
}

const TNameTable& VAlignNames() {
  static constexpr TNameTable table(kVAlignNames);
  return table;
}

const TNameTable& HAlignNames() {
  static constexpr TNameTable table(kHAlignNames);
  return table;
}

const TNameTable& FlipPlaceNames() {
  static constexpr TNameTable table(kFlipPlaceNames);
  return table;
}

const TNameTable& FontStyleNames() {
  static constexpr TNameTable table(kFontStyleNames);
  return table;
}

const TNameTable& ProjectMessageNames() {
  static constexpr TNameTable table(kProjectMessageNames);
  return table;
}

const TNameTable& PropNames() {
  static constexpr TNameTable table(kPropNames);
  return table;
}

const TNameTable& CommandKindNames() {
  static constexpr TNameTable table(kCommandKindNames);
  return table;
}

const TNameTable& SysFuncNames() {
  static constexpr TNameTable table(kSysFuncNames);
  return table;
}

const TNameTable& SysVarNames() {
  static constexpr TNameTable table(kSysVarNames);
  return table;
}

const TNameTable& KeyNames() {
  static constexpr TNameTable table(kKeyNames);
  return table;
}

}  // namespace kova
