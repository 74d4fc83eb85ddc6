// The vocabulary shared by the authoring tool's output and the player: property ids, component
// types, command kinds, system functions and variables, expression operators, transitions, keys and
// the small enumerations. Compiled pages, save data and the event queue carry only the ordinal
// numbers, so every value below is fixed; never reorder or insert.
//
// Each enumeration has a table of its names in ordinal order, and most have a table of display
// labels (code page 932) of the same length. The player itself reads three name tables: the system
// variable names (the variables are created under them), the operator names (the text form of a
// compiled expression) and the property names (a component's property listing). The property
// names are the identifiers as written here ("PR_NAME"), like every other name table.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/name_table.h"

namespace kova {

// Component types. Every component class reports its type; the scene factory creates a component
// from it; PR_COMPOTYPE reads it.
enum TCompoType : int32_t {
  KT_NONE = 0, KT_AUDIO = 1, KT_BOX = 2, KT_BUTTON = 3, KT_CINEMA = 4, KT_EDIT = 5, KT_FIRE = 6,
  KT_HTTP = 7, KT_IMAGES = 8, KT_LABEL = 9, KT_MAP = 10, KT_MEMO = 11, KT_MENU = 12, KT_MES = 13,
  KT_PARTICLE = 14, KT_TIMER = 15, KT_VIDEO = 16, KT_SOUND = 17, KT_MAPIMG = 18, KT_WAVE = 19,
  KT_TILE = 20, KT_SLIDER = 21, KT_SCROLLBAR = 22, KT_GAUGE = 23, KT_CGLABEL = 24, KT_PREVMENU = 25,
  KT_PROPMOTION = 26, KT_CABINET = 27,
};
inline constexpr int32_t kCompoTypeCount = 28;
const TNameTable& CompoTypeNames();
const TLabelTable& CompoTypeLabels();  // code page 932

// Screen transitions; WP_NONE is no transition.
enum TWipeType : int32_t {
  WP_NONE = 0, WP_FADE = 1, WP_BLINDH = 2, WP_BLINDV = 3, WP_CURTAINH = 4, WP_CURTAINV = 5,
  WP_SCROLLH = 6, WP_SCROLLV = 7, WP_GRID = 8, WP_GRIDH = 9, WP_GRIDV = 10, WP_DITHER = 11,
  WP_WHITE = 12, WP_BLACK = 13, WP_FLASH = 14, WP_MOSAIC = 15, WP_SUDAREH = 16, WP_SUDAREV = 17,
  WP_SPOT = 18, WP_MASKFADE = 19, WP_MASKWHITE = 20, WP_MASKBLACK = 21, WP_SMALL = 22, WP_BIG = 23,
  WP_RIPPLE = 24, WP_BLURWHITE = 25, WP_BLURBLACK = 26, WP_TWISTH = 27, WP_TWISTV = 28,
  WP_CRACK = 29, WP_ZOOMIN = 30, WP_CLOCKHAND = 31,
};
inline constexpr int32_t kWipeTypeCount = 32;
const TNameTable& WipeTypeNames();
const TLabelTable& WipeTypeLabels();  // code page 932

// Operation codes of compiled expressions. ocTo assigns, ocDimTo makes an array-element reference,
// ocFunc calls a system function, ocComboStr concatenates strings; ocBig, ocSmall, ocEBig and
// ocESmall are >, <, >= and <=. ocNEqual comes last, not beside ocEqual.
enum TOpCode : int32_t {
  ocNone = 0, ocTo = 1, ocPlus = 2, ocMinus = 3, ocMul = 4, ocDiv = 5, ocMod = 6, ocOr = 7,
  ocAnd = 8, ocXor = 9, ocDimTo = 10, ocFunc = 11, ocEqual = 12, ocBig = 13, ocSmall = 14,
  ocEBig = 15, ocESmall = 16, ocShiftL = 17, ocShiftR = 18, ocComboStr = 19, ocNEqual = 20,
};
inline constexpr int32_t kOpCodeCount = 21;
const TNameTable& OpCodeNames();

// Type codes of script values: 1 integer, 2 floating-point, 3 flag, 4 string (0: none).
enum TParamType : int32_t {
  PT_NONE = 0, PT_INT = 1, PT_FLOAT = 2, PT_BOOL = 3, PT_STR = 4,
};
inline constexpr int32_t kParamTypeCount = 5;
const TNameTable& ParamTypeNames();
const TLabelTable& ParamTypeLabels();  // code page 932

// How a motion runs from start to end: linear, accelerating, decelerating.
enum TMotionType : int32_t {
  MT_NORMAL = 0, MT_INC = 1, MT_DEC = 2,
};
inline constexpr int32_t kMotionTypeCount = 3;
const TNameTable& MotionTypeNames();
const TLabelTable& MotionTypeLabels();  // code page 932

// Orientation of sliders and scroll bars.
enum TOrientation : int32_t {
  OT_HORIZONTAL = 0, OT_VERTICAL = 1,
};
inline constexpr int32_t kOrientationCount = 2;
const TNameTable& OrientationNames();
const TLabelTable& OrientationLabels();  // code page 932

// What a component ignores of the mouse (PR_IGNOREMOUSE): nothing, everything, clicks, left
// clicks, right clicks.
enum TIgnoreMouse : int32_t {
  IM_NONE = 0, IM_ALL = 1, IM_CLICK = 2, IM_LCLICK = 3, IM_RCLICK = 4,
};
inline constexpr int32_t kIgnoreMouseCount = 5;
const TNameTable& IgnoreMouseNames();
const TLabelTable& IgnoreMouseLabels();  // code page 932

// Movement of particles; PM_NONE births nothing.
enum TParticleMode : int32_t {
  PM_NONE = 0, PM_SNOW = 1, PM_STAR = 2, PM_FLUFF = 3, PM_TWISTER = 4,
};
inline constexpr int32_t kParticleModeCount = 5;
const TNameTable& ParticleModeNames();
const TLabelTable& ParticleModeLabels();  // code page 932

// Play and stop, each plain or with a fade.
enum TMediaPlayMode : int32_t {
  LP_PLAY = 0, LP_PLAYFADE = 1, LP_STOP = 2, LP_STOPFADE = 3,
};
inline constexpr int32_t kMediaPlayModeCount = 4;
const TNameTable& MediaPlayModeNames();

// Vertical alignment.
enum TVAlign : int32_t {
  VA_TOP = 0, VA_CENTER = 1, VA_BOTTOM = 2,
};
inline constexpr int32_t kVAlignCount = 3;
const TNameTable& VAlignNames();
const TLabelTable& VAlignLabels();  // code page 932

// Horizontal alignment (PR_HALIGN and the alignments of text and borders).
enum THAlign : int32_t {
  HA_LEFT = 0, HA_CENTER = 1, HA_RIGHT = 2,
};
inline constexpr int32_t kHAlignCount = 3;
const TNameTable& HAlignNames();
const TLabelTable& HAlignLabels();  // code page 932

// Where the named surface ends after a screen flip: behind (FL_OUT) or in front (FL_STAY).
enum TFlipPlace : int32_t {
  FL_OUT = 0, FL_STAY = 1,
};
inline constexpr int32_t kFlipPlaceCount = 2;
const TNameTable& FlipPlaceNames();
const TLabelTable& FlipPlaceLabels();  // code page 932

// Elements of the font style set; bit i of its integer form is element i (see TFontStyles).
enum TFontStyle : int32_t {
  FS_BOLD = 0, FS_ITALIC = 1, FS_UNDERLINE = 2, FS_STRIKEOUT = 3,
};
inline constexpr int32_t kFontStyleCount = 4;
const TNameTable& FontStyleNames();
const TLabelTable& FontStyleLabels();  // code page 932

// The two system messages a project defines: the disc-change prompt, whose text carries the disc
// number through "%d", and the exit confirmation.
enum TProjectMessage : int32_t {
  CHANGEMEDIA = 0, EXIT = 1,
};
inline constexpr int32_t kProjectMessageCount = 2;
const TNameTable& ProjectMessageNames();
const TLabelTable& ProjectMessageLabels();  // code page 932

// The four scopes of script variables: global, freed automatically, local, status. This
// enumeration has labels only.
inline constexpr int32_t kVarScopeCount = 4;
const TLabelTable& VarScopeLabels();  // code page 932

// Script property ids. The event properties (PR_ONNOTIFY and the other PR_ON names) double as the
// event codes of the script event queue. Ids follow the stored order, not the names: PR_ZOOMX is 7,
// PR_ZOOMY 132.
enum TPropId : int32_t {
  PR_NAME = 0, PR_PARENT = 1, PR_SOURCE = 2, PR_LEFT = 3, PR_TOP = 4, PR_WIDTH = 5, PR_HEIGHT = 6,
  PR_ZOOMX = 7, PR_COLOR = 8, PR_BORDERWIDTH = 9, PR_BORDERCOLOR = 10, PR_ALPHA = 11,
  PR_PRIORITY = 12, PR_OFFSETX = 13, PR_OFFSETY = 14, PR_FONTNAME = 15, PR_FONTHEIGHT = 16,
  PR_FONTSTYLE = 17, PR_LINESPACE = 18, PR_FONTCOLOR = 19, PR_FONTLINKCOLOR = 20,
  PR_FONTBORDERCOLOR = 21, PR_FONTHOVERCOLOR = 22, PR_FONTHOVERSTYLE = 23, PR_HOVERCOLOR = 24,
  PR_ANTIALIAS = 25, PR_DELAY = 26, PR_PAUSED = 27, PR_VOLUME = 28, PR_REPEAT = 29, PR_BALANCE = 30,
  PR_ANGLE = 31, PR_ONPLAYING = 32, PR_ONNOTIFY = 33, PR_ONMOUSEMOVE = 34, PR_ONMOUSEOUT = 35,
  PR_ONLBTNDOWN = 36, PR_ONLBTNUP = 37, PR_ONRBTNDOWN = 38, PR_ONRBTNUP = 39, PR_ONWHEELDOWN = 40,
  PR_ONWHEELUP = 41, PR_BRIGHTNESS = 42, PR_ONPLAYEND = 43, PR_INDEX = 44, PR_COUNT = 45,
  PR_ONLINK = 46, PR_VISIBLE = 47, PR_COLCOUNT = 48, PR_ROWCOUNT = 49, PR_TEXT = 50,
  PR_MARGINX = 51, PR_MARGINY = 52, PR_HALIGN = 53, PR_BORDERSOURCETL = 54, PR_BORDERSOURCETC = 55,
  PR_BORDERSOURCETR = 56, PR_BORDERSOURCECL = 57, PR_BORDERSOURCECC = 58, PR_BORDERSOURCECR = 59,
  PR_BORDERSOURCEBL = 60, PR_BORDERSOURCEBC = 61, PR_BORDERSOURCEBR = 62, PR_BORDERHALIGNT = 63,
  PR_BORDERHALIGNC = 64, PR_BORDERHALIGNB = 65, PR_BORDERVALIGNL = 66, PR_BORDERVALIGNC = 67,
  PR_BORDERVALIGNR = 68, PR_SCROLLSOURCE = 69, PR_CHECKSOURCE = 70, PR_AUTOSCRAP = 71,
  PR_ONSELECT = 72, PR_RCLICKSCRAP = 73, PR_ONOPENING = 74, PR_ONOPENED = 75, PR_ONCLOSING = 76,
  PR_ONCLOSED = 77, PR_CARETX = 78, PR_CARETY = 79, PR_IGNOREMOUSE = 80, PR_TEXTPAUSED = 81,
  PR_TEXTDELAY = 82, PR_HOVERSOURCE = 83, PR_PRESSEDSOURCE = 84, PR_GROUPINDEX = 85,
  PR_ALLOWALLUP = 86, PR_SELECTED = 87, PR_CAPTUREMASK = 88, PR_POWER = 89, PR_ORIGWIDTH = 90,
  PR_ORIGHEIGHT = 91, PR_APPEARX = 92, PR_APPEARY = 93, PR_PARTMOTION = 94, PR_PARAM1 = 95,
  PR_PARAM2 = 96, PR_TOPINDEX = 97, PR_READONLY = 98, PR_CURSOR = 99, PR_POSZOOMED = 100,
  PR_ONPLAYSTART = 101, PR_PARAM3 = 102, PR_ONMOUSEIN = 103, PR_ONMAPIN = 104, PR_ONMAPOUT = 105,
  PR_MAPSOURCE = 106, PR_AMP = 107, PR_WAVELEN = 108, PR_SCROLLX = 109, PR_SCROLLY = 110,
  PR_FLIPH = 111, PR_FLIPV = 112, PR_ONIDLE = 113, PR_DISTANCEX = 114, PR_DISTANCEY = 115,
  PR_CLIPLEFT = 116, PR_CLIPTOP = 117, PR_CLIPWIDTH = 118, PR_CLIPHEIGHT = 119, PR_DURATION = 120,
  PR_THUMBSOURCE = 121, PR_BUTTONSOURCE = 122, PR_MIN = 123, PR_MAX = 124, PR_VALUE = 125,
  PR_ORIENTATION = 126, PR_SMALLCHANGE = 127, PR_LARGECHANGE = 128, PR_MAPTEXT = 129,
  PR_GLYPHWIDTH = 130, PR_GLYPHHEIGHT = 131, PR_ZOOMY = 132, PR_CLICKEDSOURCE = 133,
  PR_ANIPAUSED = 134, PR_ONHOLD = 135, PR_ONRELEASE = 136, PR_REVERSE = 137, PR_PLAYING = 138,
  PR_REWINDONLOAD = 139, PR_COMPOTYPE = 140, PR_FONTSHADOWCOLOR = 141, PR_FONTBORDER = 142,
  PR_FONTSHADOW = 143, PR_ONKEYDOWN = 144, PR_ONKEYUP = 145, PR_ONKEYREPEAT = 146,
  PR_HANDLEKEY = 147, PR_ONFOCUSIN = 148, PR_ONFOCUSOUT = 149, PR_OVERLAY = 150, PR_TAG = 151,
  PR_CAPTURELINK = 152, PR_FONTHOVERBORDER = 153, PR_FONTHOVERBORDERCOLOR = 154,
  PR_FONTHOVERSHADOW = 155, PR_FONTHOVERSHADOWCOLOR = 156, PR_BARSIZE = 157, PR_MUTEONLOAD = 158,
};
inline constexpr int32_t kPropCount = 159;
const TNameTable& PropNames();

// Kinds of script command in compiled pages (the command type code).
enum class TCommandKind : int32_t {
  If = 0, Elseif = 1, Else = 2, Label = 3, Jump = 4, Call = 5, Exit = 6, Wait = 7, BoxNew = 8,
  ImgNew = 9, MesNew = 10, Timer = 11, Movie = 12, Flip = 13, Calc = 14, VarNew = 15, VarDel = 16,
  GetProp = 17, SetProp = 18, ObjDel = 19, TextIns = 20, MovieStop = 21, ClrHist = 22, Cinema = 23,
  Caption = 24, Menu = 25, MenuClose = 26, Comment = 27, TextClr = 28, CallHist = 29, Button = 30,
  While = 31, WhileInit = 32, WhileLoop = 33, Break = 34, Continue = 35, ParticleNew = 36,
  FireNew = 37, GameSave = 38, GameLoad = 39, PCReset = 40, Reset = 41, Sound = 42, EditNew = 43,
  MemoNew = 44, Terminate = 45, DoEvent = 46, ClrRead = 47, MapImgNew = 48, WaveNew = 49,
  TileNew = 50, SliderNew = 51, ScrollbarNew = 52, GaugeNew = 53, CGCaption = 54, MediaPlay = 55,
  PrevMenuNew = 56, PropMotion = 57, FormatHist = 58, SaveCabinet = 59, LoadCabinet = 60,
};
inline constexpr int32_t kCommandKindCount = 61;
const TNameTable& CommandKindNames();

// System functions that expressions call by number.
enum class TSysFunc : int32_t {
  IntToStr = 0, IntToHex = 1, GetProp = 2, SetProp = 3, GetArraySize = 4, Length = 5, JLength = 6,
  Copy = 7, JCopy = 8, Delete = 9, JDelete = 10, Insert = 11, JInsert = 12, CompareStr = 13,
  CompareText = 14, Pos = 15, JPos = 16, Trim = 17, JTrim = 18, Exists = 19, Not = 20,
  SetArray = 21, FillMem = 22, CopyMem = 23, GetCheck = 24, SetCheck = 25, Random = 26,
  GetSaveCaption = 27, ArrayToString = 28, StringToArray = 29, IndexOfStr = 30, SortStr = 31,
  ListCompo = 32, ToClientX = 33, ToClientY = 34, ToScreenX = 35, ToScreenY = 36, Int = 37,
  Float = 38, Sin = 39, Cos = 40, Tan = 41, ArcSin = 42, ArcCos = 43, ArcTan = 44, ArcTan2 = 45,
  Hypot = 46, IndexOfMenu = 47, Abs = 48, Fabs = 49, VarExists = 50, EncodeDate = 51,
  EncodeTime = 52, DecodeDate = 53, DecodeTime = 54, GetYear = 55, GetMonth = 56, GetDay = 57,
  GetHour = 58, GetMin = 59, GetSec = 60, GetWeek = 61, GetWeekStr = 62, GetWeekJStr = 63,
  FixStr = 64, GetDisplayMode = 65, AddArray = 66, InsertArray = 67, DeleteArray = 68,
  InPrimary = 69, CopyArray = 70, FileExists = 71, LoadTextFile = 72, LowerCase = 73,
  UpperCase = 74, ExtractFilePath = 75, ExtractFileName = 76, ExtractFileExt = 77,
  IsPathDelimiter = 78, AddBackSlash = 79, ChangeFileExt = 80, IsDelimiter = 81, StringOfChar = 82,
  StringReplace = 83, AssignTemp = 84, HanToZen = 85, ZenToHan = 86, DBCreateTable = 87,
  DBSetActive = 88, DBAddField = 89, DBSetRecNo = 90, DBInsert = 91, DBDelete = 92, DBGetInt = 93,
  DBSetInt = 94, DBGetFloat = 95, DBSetFloat = 96, DBGetBool = 97, DBSetBool = 98, DBGetStr = 99,
  DBSetStr = 100, DBRecordCount = 101, DBFindFirst = 102, DBFindLast = 103, DBFindNext = 104,
  DBFindPrior = 105, DBLocate = 106, DBLoadTsvFile = 107, DBDirectGetInt = 108,
  DBDirectSetInt = 109, DBDirectGetFloat = 110, DBDirectSetFloat = 111, DBDirectGetBool = 112,
  DBDirectSetBool = 113, DBDirectGetStr = 114, DBDirectSetStr = 115, DBCopyTable = 116,
  DBDeleteTable = 117, DBInsertTable = 118, DBCopy = 119, DBClearTable = 120, DBSort = 121,
  DBGetActive = 122, DBGetRecNo = 123, DBClearRecord = 124, SetWallPaper = 125, Min = 126,
  Max = 127, Fmin = 128, Fmax = 129, GetVarType = 130, GetEnabled = 131, SetEnabled = 132,
  AddDelimiter = 133, ListSaveCaption = 134, OpenUrl = 135,
};
inline constexpr int32_t kSysFuncCount = 136;
const TNameTable& SysFuncNames();

// System variables of the variable store, registered under the names of SysVarNames() ("@Result"
// ...). The enumerators are those names without the "@"; "@1Hour", "@1Min" and "@1Sec" become
// OneHour, OneMin and OneSec.
enum class TSysVar : int32_t {
  Result = 0, LClick = 1, RClick = 2, LPush = 3, RPush = 4, MouseX = 5, MouseY = 6, TextDelay = 7,
  HistoryCount = 8, ParamCount = 9, ParamStr = 10, Sender = 11, ScrWidth = 12, ScrHeight = 13,
  TickCount = 14, PCTickCount = 15, UpdateCount = 16, Year = 17, Month = 18, Day = 19, Week = 20,
  Hour = 21, Min = 22, Sec = 23, Fonts = 24, FixedFonts = 25, FullScr = 26, Cursor = 27,
  SelStr = 28, SelIndex = 29, Pi = 30, CGDither = 31, OneHour = 32, OneMin = 33, OneSec = 34,
  KeyPush = 35, KeyClick = 36, DisplayModeCount = 37, DisplayModeIndex = 38, Title = 39,
  SoundON = 40, ActiveCompo = 41, KeyRepeat = 42, HistoryMaxCount = 43, Temp = 44, MidiPort = 45,
  MidiPorts = 46, WheelDown = 47, WheelUp = 48,
};
inline constexpr int32_t kSysVarCount = 49;
const TNameTable& SysVarNames();

// Key numbers of the key-state tables and key events.
enum TVkmKey : int32_t {
  VkmBACK = 0, VkmTAB = 1, VkmRETURN = 2, VkmSHIFT = 3, VkmCONTROL = 4, VkmALT = 5, VkmPAUSE = 6,
  VkmCAPITAL = 7, VkmESCAPE = 8, VkmSPACE = 9, VkmPAGEUP = 10, VkmPAGEDOWN = 11, VkmEND = 12,
  VkmHOME = 13, VkmLEFT = 14, VkmUP = 15, VkmRIGHT = 16, VkmDOWN = 17, VkmINSERT = 18,
  VkmDELETE = 19, Vkm0 = 20, Vkm1 = 21, Vkm2 = 22, Vkm3 = 23, Vkm4 = 24, Vkm5 = 25, Vkm6 = 26,
  Vkm7 = 27, Vkm8 = 28, Vkm9 = 29, VkmA = 30, VkmB = 31, VkmC = 32, VkmD = 33, VkmE = 34, VkmF = 35,
  VkmG = 36, VkmH = 37, VkmI = 38, VkmJ = 39, VkmK = 40, VkmL = 41, VkmM = 42, VkmN = 43, VkmO = 44,
  VkmP = 45, VkmQ = 46, VkmR = 47, VkmS = 48, VkmT = 49, VkmU = 50, VkmV = 51, VkmW = 52, VkmX = 53,
  VkmY = 54, VkmZ = 55, VkmF1 = 56, VkmF2 = 57, VkmF3 = 58, VkmF4 = 59, VkmF5 = 60, VkmF6 = 61,
  VkmF7 = 62, VkmF8 = 63, VkmF9 = 64, VkmF10 = 65, VkmF11 = 66, VkmF12 = 67, VkmWheelDown = 68,
  VkmWheelUp = 69,
};
inline constexpr int32_t kKeyCount = 70;
const TNameTable& KeyNames();

// Run-time look-ups. Names are compared ignoring ASCII case; a miss answers -1, and an id outside
// its table answers an empty name.
inline std::string_view PropName(int32_t id) { return PropNames().Name(id); }
inline std::string_view OpCodeName(int32_t id) { return OpCodeNames().Name(id); }
inline std::string_view SysVarName(int32_t id) { return SysVarNames().Name(id); }
inline std::string_view SysVarName(TSysVar id) { return SysVarNames().Name(Ord(id)); }
inline int32_t FindPropId(std::string_view name) { return PropNames().IndexOf(name); }
inline int32_t FindSysVar(std::string_view name) { return SysVarNames().IndexOf(name); }
inline int32_t FindSysFunc(std::string_view name) { return SysFuncNames().IndexOf(name); }
inline int32_t FindCommandKind(std::string_view name) { return CommandKindNames().IndexOf(name); }

}  // namespace kova
