// Display labels of the vocabulary, in UTF-8 here and converted to code page 932 on first use.
#include <iterator>

#include "core/vocabulary.h"

namespace kova {
namespace {

constexpr const char* kCompoTypeLabelsUtf8[] = {
  "なし",  // KT_NONE
  "オーディオ",  // KT_AUDIO
  "矩形サーフェス",  // KT_BOX
  "ボタン",  // KT_BUTTON
  "シネマサーフェス",  // KT_CINEMA
  "エディット",  // KT_EDIT
  "炎サーフェス",  // KT_FIRE
  "HTTP",  // KT_HTTP
  "画像サーフェス",  // KT_IMAGES
  "キャプション",  // KT_LABEL
  "マップ",  // KT_MAP
  "メモ",  // KT_MEMO
  "メニュー",  // KT_MENU
  "メッセージボックス",  // KT_MES
  "パーティクルサーフェス",  // KT_PARTICLE
  "タイマー",  // KT_TIMER
  "ムービー",  // KT_VIDEO
  "サウンド",  // KT_SOUND
  "選択画像",  // KT_MAPIMG
  "ウェーブサーフェス",  // KT_WAVE
  "タイルサーフェス",  // KT_TILE
  "スライダー",  // KT_SLIDER
  "スクロールバー",  // KT_SCROLLBAR
  "ゲージ",  // KT_GAUGE
  "画像キャプション",  // KT_CGLABEL
  "プレビューメニュー",  // KT_PREVMENU
  "プロパティモーション",  // KT_PROPMOTION
  "キャビネット",  // KT_CABINET
};
static_assert(std::size(kCompoTypeLabelsUtf8) == kCompoTypeCount);

constexpr const char* kWipeTypeLabelsUtf8[] = {
  "なし",  // WP_NONE
  "フェード",  // WP_FADE
  "ブラインド横",  // WP_BLINDH
  "ブラインド縦",  // WP_BLINDV
  "カーテン横",  // WP_CURTAINH
  "カーテン縦",  // WP_CURTAINV
  "スクロール横",  // WP_SCROLLH
  "スクロール縦",  // WP_SCROLLV
  "格子",  // WP_GRID
  "格子(横)",  // WP_GRIDH
  "格子(縦)",  // WP_GRIDV
  "ディザ",  // WP_DITHER
  "ホワイト",  // WP_WHITE
  "ブラック",  // WP_BLACK
  "フラッシュ",  // WP_FLASH
  "モザイク",  // WP_MOSAIC
  "すだれ横",  // WP_SUDAREH
  "すだれ縦",  // WP_SUDAREV
  "スポットライト",  // WP_SPOT
  "マスクフェード",  // WP_MASKFADE
  "マスクホワイト",  // WP_MASKWHITE
  "マスクブラック",  // WP_MASKBLACK
  "表画面縮小",  // WP_SMALL
  "裏画面拡大",  // WP_BIG
  "波紋",  // WP_RIPPLE
  "白ぼかし",  // WP_BLURWHITE
  "黒ぼかし",  // WP_BLURBLACK
  "ひねり横",  // WP_TWISTH
  "ひねり縦",  // WP_TWISTV
  "チップ落下",  // WP_CRACK
  "ズームイン",  // WP_ZOOMIN
  "時計の針",  // WP_CLOCKHAND
};
static_assert(std::size(kWipeTypeLabelsUtf8) == kWipeTypeCount);

constexpr const char* kParamTypeLabelsUtf8[] = {
  "",  // PT_NONE
  "整数",  // PT_INT
  "実数",  // PT_FLOAT
  "フラグ",  // PT_BOOL
  "文字列",  // PT_STR
};
static_assert(std::size(kParamTypeLabelsUtf8) == kParamTypeCount);

constexpr const char* kMotionTypeLabelsUtf8[] = {
  "通常",  // MT_NORMAL
  "加速",  // MT_INC
  "減速",  // MT_DEC
};
static_assert(std::size(kMotionTypeLabelsUtf8) == kMotionTypeCount);

constexpr const char* kOrientationLabelsUtf8[] = {
  "水平",  // OT_HORIZONTAL
  "垂直",  // OT_VERTICAL
};
static_assert(std::size(kOrientationLabelsUtf8) == kOrientationCount);

constexpr const char* kIgnoreMouseLabelsUtf8[] = {
  "通常",  // IM_NONE
  "全て無視",  // IM_ALL
  "クリックを無視",  // IM_CLICK
  "左クリックを無視",  // IM_LCLICK
  "右クリックを無視",  // IM_RCLICK
};
static_assert(std::size(kIgnoreMouseLabelsUtf8) == kIgnoreMouseCount);

constexpr const char* kParticleModeLabelsUtf8[] = {
  "停止",  // PM_NONE
  "ゆらゆら落下",  // PM_SNOW
  "放射",  // PM_STAR
  "ゆらゆら上昇",  // PM_FLUFF
  "竜巻",  // PM_TWISTER
};
static_assert(std::size(kParticleModeLabelsUtf8) == kParticleModeCount);

constexpr const char* kVAlignLabelsUtf8[] = {
  "上寄せ",  // VA_TOP
  "中央寄せ",  // VA_CENTER
  "下寄せ",  // VA_BOTTOM
};
static_assert(std::size(kVAlignLabelsUtf8) == kVAlignCount);

constexpr const char* kHAlignLabelsUtf8[] = {
  "左寄せ",  // HA_LEFT
  "中央寄せ",  // HA_CENTER
  "右寄せ",  // HA_RIGHT
};
static_assert(std::size(kHAlignLabelsUtf8) == kHAlignCount);

constexpr const char* kFlipPlaceLabelsUtf8[] = {
  "指定サーフェスを裏に",  // FL_OUT
  "指定サーフェスを表に",  // FL_STAY
};
static_assert(std::size(kFlipPlaceLabelsUtf8) == kFlipPlaceCount);

constexpr const char* kFontStyleLabelsUtf8[] = {
  "太字",  // FS_BOLD
  "斜体",  // FS_ITALIC
  "下線",  // FS_UNDERLINE
  "抹消線",  // FS_STRIKEOUT
};
static_assert(std::size(kFontStyleLabelsUtf8) == kFontStyleCount);

constexpr const char* kProjectMessageLabelsUtf8[] = {
  "ディスク入替(ディスク番号を%dで記述)",  // CHANGEMEDIA
  "終了確認",  // EXIT
};
static_assert(std::size(kProjectMessageLabelsUtf8) == kProjectMessageCount);

constexpr const char* kVarScopeLabelsUtf8[] = {
  "グローバル",  // global
  "自動破棄",  // freed automatically when its call level ends
  "ローカル",  // local
  "ステータス",  // status
};
static_assert(std::size(kVarScopeLabelsUtf8) == kVarScopeCount);

}  // namespace

const TLabelTable& CompoTypeLabels() {
  static const TLabelTable table(kCompoTypeLabelsUtf8);
  return table;
}

const TLabelTable& WipeTypeLabels() {
  static const TLabelTable table(kWipeTypeLabelsUtf8);
  return table;
}

const TLabelTable& ParamTypeLabels() {
  static const TLabelTable table(kParamTypeLabelsUtf8);
  return table;
}

const TLabelTable& MotionTypeLabels() {
  static const TLabelTable table(kMotionTypeLabelsUtf8);
  return table;
}

const TLabelTable& OrientationLabels() {
  static const TLabelTable table(kOrientationLabelsUtf8);
  return table;
}

const TLabelTable& IgnoreMouseLabels() {
  static const TLabelTable table(kIgnoreMouseLabelsUtf8);
  return table;
}

const TLabelTable& ParticleModeLabels() {
  static const TLabelTable table(kParticleModeLabelsUtf8);
  return table;
}

const TLabelTable& VAlignLabels() {
  static const TLabelTable table(kVAlignLabelsUtf8);
  return table;
}

const TLabelTable& HAlignLabels() {
  static const TLabelTable table(kHAlignLabelsUtf8);
  return table;
}

const TLabelTable& FlipPlaceLabels() {
  static const TLabelTable table(kFlipPlaceLabelsUtf8);
  return table;
}

const TLabelTable& FontStyleLabels() {
  static const TLabelTable table(kFontStyleLabelsUtf8);
  return table;
}

const TLabelTable& ProjectMessageLabels() {
  static const TLabelTable table(kProjectMessageLabelsUtf8);
  return table;
}

const TLabelTable& VarScopeLabels() {
  static const TLabelTable table(kVarScopeLabelsUtf8);
  return table;
}

}  // namespace kova
