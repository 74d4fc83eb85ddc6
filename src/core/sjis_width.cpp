// Conversion between the half-width and full-width forms of Latin characters, punctuation and
// katakana, by our own tables (no code-page library at run time).
#include <array>
#include <cstdint>

#include "core/sjis.h"

namespace kova {
namespace {

// The full-width forms of 0x20 .. 0x7E. The backslash becomes the yen sign, the apostrophe and the
// grave accent the right and left single quotation marks, the double quote the right double
// quotation mark.
constexpr std::array<uint16_t, 0x5F> kAsciiToZen = {
    0x8140, 0x8149, 0x8168, 0x8194, 0x8190, 0x8193, 0x8195, 0x8166,  // 20 ! " # $ % & '
    0x8169, 0x816A, 0x8196, 0x817B, 0x8143, 0x817C, 0x8144, 0x815E,  // ( ) * + , - . /
    0x824F, 0x8250, 0x8251, 0x8252, 0x8253, 0x8254, 0x8255, 0x8256,  // 0 .. 7
    0x8257, 0x8258, 0x8146, 0x8147, 0x8183, 0x8181, 0x8184, 0x8148,  // 8 9 : ; < = > ?
    0x8197, 0x8260, 0x8261, 0x8262, 0x8263, 0x8264, 0x8265, 0x8266,  // @ A .. G
    0x8267, 0x8268, 0x8269, 0x826A, 0x826B, 0x826C, 0x826D, 0x826E,  // H .. O
    0x826F, 0x8270, 0x8271, 0x8272, 0x8273, 0x8274, 0x8275, 0x8276,  // P .. W
    0x8277, 0x8278, 0x8279, 0x816D, 0x818F, 0x816E, 0x814F, 0x8151,  // X Y Z [ \ ] ^ _
    0x8165, 0x8281, 0x8282, 0x8283, 0x8284, 0x8285, 0x8286, 0x8287,  // ` a .. g
    0x8288, 0x8289, 0x828A, 0x828B, 0x828C, 0x828D, 0x828E, 0x828F,  // h .. o
    0x8290, 0x8291, 0x8292, 0x8293, 0x8294, 0x8295, 0x8296, 0x8297,  // p .. w
    0x8298, 0x8299, 0x829A, 0x816F, 0x8162, 0x8170, 0x8160,          // x y z { | } ~
};

// The full-width forms of the half-width katakana and signs 0xA1 .. 0xDF.
constexpr std::array<uint16_t, 0x3F> kKanaToZen = {
    0x8142, 0x8175, 0x8176, 0x8141, 0x8145, 0x8392, 0x8340,          // A1 .. A7: 。「」、・ヲァ
    0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362,  // A8 .. AF: ィゥェォャュョッ
    0x815B, 0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C,  // B0 .. B7: ーアイウエオカキ
    0x834E, 0x8350, 0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C,  // B8 .. BF: クケコサシスセソ
    0x835E, 0x8360, 0x8363, 0x8365, 0x8367, 0x8369, 0x836A, 0x836B,  // C0 .. C7: タチツテトナニヌ
    0x836C, 0x836D, 0x836E, 0x8371, 0x8374, 0x8377, 0x837A, 0x837D,  // C8 .. CF: ネノハヒフヘホマ
    0x837E, 0x8380, 0x8381, 0x8382, 0x8384, 0x8386, 0x8388, 0x8389,  // D0 .. D7: ミムメモヤユヨラ
    0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393, 0x814A, 0x814B,  // D8 .. DF: リルレロワン゛゜
};

constexpr uint8_t kVoicedMark = 0xDE;
constexpr uint8_t kSemiVoicedMark = 0xDF;

// A half-width kana with its voiced (or semi-voiced) full-width form.
struct TKanaPair {
  uint8_t han;
  uint16_t zen;
};

// Ka, sa, ta and ha rows with the voiced mark.
constexpr std::array<TKanaPair, 20> kVoiced = {{
    {0xB6, 0x834B}, {0xB7, 0x834D}, {0xB8, 0x834F}, {0xB9, 0x8351}, {0xBA, 0x8353},  // ガギグゲゴ
    {0xBB, 0x8355}, {0xBC, 0x8357}, {0xBD, 0x8359}, {0xBE, 0x835B}, {0xBF, 0x835D},  // ザジズゼゾ
    {0xC0, 0x835F}, {0xC1, 0x8361}, {0xC2, 0x8364}, {0xC3, 0x8366}, {0xC4, 0x8368},  // ダヂヅデド
    {0xCA, 0x836F}, {0xCB, 0x8372}, {0xCC, 0x8375}, {0xCD, 0x8378}, {0xCE, 0x837B},  // バビブベボ
}};

// The ha row with the semi-voiced mark.
constexpr std::array<TKanaPair, 5> kSemiVoiced = {{
    {0xCA, 0x8370}, {0xCB, 0x8373}, {0xCC, 0x8376}, {0xCD, 0x8379}, {0xCE, 0x837C},  // パピプペポ
}};

// The full-width vu, which half-width text writes as u and the voiced mark; it is not combined
// when converting to full width.
constexpr TKanaPair kVoicedU = {0xB3, 0x8394};

// Lookup tables indexed by byte: the combined form for a kana followed by a mark, 0 for none.
constexpr std::array<uint16_t, 256> MarkTable(const auto& pairs) {
  std::array<uint16_t, 256> t{};
  for (const auto& p : pairs) t[p.han] = p.zen;
  return t;
}
constexpr auto kVoicedByHan = MarkTable(kVoiced);
constexpr auto kSemiVoicedByHan = MarkTable(kSemiVoiced);

// The half-width form of a double-byte character with lead 0x81 .. 0x83: up to two bytes, the
// first 0 when the character has none.
struct THan {
  uint8_t first = 0, second = 0;
};
constexpr uint16_t kZenFirst = 0x8100, kZenLast = 0x83FF;

constexpr std::array<THan, kZenLast - kZenFirst + 1> kZenToHan = [] {
  std::array<THan, kZenLast - kZenFirst + 1> t{};
  auto put = [&t](uint16_t zen, uint8_t first, uint8_t second) {
    t[zen - kZenFirst] = THan{first, second};
  };
  for (size_t i = 0; i < kAsciiToZen.size(); ++i) put(kAsciiToZen[i], uint8_t(0x20 + i), 0);
  for (size_t i = 0; i < kKanaToZen.size(); ++i) put(kKanaToZen[i], uint8_t(0xA1 + i), 0);
  for (const auto& p : kVoiced) put(p.zen, p.han, kVoicedMark);
  for (const auto& p : kSemiVoiced) put(p.zen, p.han, kSemiVoicedMark);
  put(kVoicedU.zen, kVoicedU.han, kVoicedMark);
  // Full-width forms that the conversion to full width does not produce: the left double
  // quotation mark, and the code page's own full-width grave accent and reverse solidus.
  put(0x8167, '"', 0);
  put(0x814D, '`', 0);
  put(0x815F, '\\', 0);
  return t;
}();

// The code page's full-width apostrophe and quotation mark lie outside the table's range.
constexpr uint16_t kZenApostrophe = 0xFA56, kZenQuote = 0xFA57;

inline void PutDouble(std::string& out, uint16_t code) {
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

std::string SjisHanToZen(std::string_view s) {
  std::string out;
  out.reserve(s.size() * 2);
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (IsSjisLeadByte(c) && i + 1 < n) {
      out.append(s.data() + i, 2);
      ++i;
    } else if (c >= 0x20 && c <= 0x7E) {
      PutDouble(out, kAsciiToZen[c - 0x20]);
    } else if (c >= 0xA1 && c <= 0xDF) {
      const auto next = i + 1 < n ? static_cast<uint8_t>(s[i + 1]) : uint8_t(0);
      uint16_t combined = 0;
      if (next == kVoicedMark) combined = kVoicedByHan[c];
      if (next == kSemiVoicedMark) combined = kSemiVoicedByHan[c];
      if (combined != 0) {
        PutDouble(out, combined);
        ++i;
      } else {
        PutDouble(out, kKanaToZen[c - 0xA1]);
      }
    }
    // Control bytes, 0x7F .. 0xA0, 0xE0 .. 0xFF and a lead byte ending the string are dropped.
  }
  return out;
}

std::string SjisZenToHan(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  const size_t n = s.size();
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<uint8_t>(s[i]);
    if (!IsSjisLeadByte(c) || i + 1 == n) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const uint16_t code = uint16_t(c << 8 | static_cast<uint8_t>(s[++i]));
    if (code >= kZenFirst && code <= kZenLast) {
      const THan h = kZenToHan[code - kZenFirst];
      if (h.first != 0) {
        out.push_back(static_cast<char>(h.first));
        if (h.second != 0) out.push_back(static_cast<char>(h.second));
      }
    } else if (code == kZenApostrophe) {
      out.push_back('\'');
    } else if (code == kZenQuote) {
      out.push_back('"');
    }
    // Any other double-byte character has no half-width form and is dropped.
  }
  return out;
}

}  // namespace kova
