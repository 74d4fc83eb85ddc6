#include "support/page_writer.h"

namespace kova::test {

const std::array<PropWords, 61>& DefaultPropWords() {
  static const std::array<PropWords, 61> sets = [] {
    std::array<PropWords, 61> s{};
    s[8] = {0x28007f7f, 0x00008bfc, 0x00010080, 0x00f20088, 0x00bf0040};
    s[9] = {0xac00789f, 0x00009ffc, 0x01010080, 0x00f38098, 0x00bf0050};
    s[10] = {0x0e7df87b, 0x0000cbff, 0x00070000, 0x00f200a8, 0x01bfe000};
    s[11] = {0x0c000001, 0x00000002, 0x00000080, 0x00000000, 0x00800000};
    s[12] = {0xfc00789f, 0x00009bfc, 0x00010080, 0x00f38098, 0x40ff0850};
    s[23] = {0x3800701f, 0x00009bfc, 0x00010080, 0x00f20088, 0x40bf0840};
    s[24] = {0xaa0ff89f, 0x00248bfc, 0x00010080, 0x00f20098, 0x00bf0050};
    s[25] = {0x0fef9f1b, 0xfffe83fc, 0x00013fff, 0x00f0008a, 0x1ebfe1c0};
    s[30] = {0x8800789f, 0x00008c0e, 0x01f90080, 0x00f38098, 0x00bf0070};
    s[36] = {0x0c00787f, 0x000093fc, 0xf0010000, 0x01f200c9, 0x00bf0040};
    s[37] = {0x0800709b, 0x000083fc, 0x0e010000, 0x00f20098, 0x00bf0050};
    s[42] = {0x7c000005, 0x00001800, 0x00000080, 0x00000000, 0x40800800};
    s[43] = {0x080be17b, 0x00048002, 0x00000000, 0x00000004, 0x00800000};
    s[44] = {0x080be17b, 0x00248002, 0x00000000, 0x00000004, 0x00800000};
    s[48] = {0x0800781f, 0x000087fc, 0x00090380, 0x00f20788, 0x00bf0040};
    s[49] = {0x0c00707b, 0x000083fc, 0x00010000, 0x00f21888, 0x00bf0040};
    s[50] = {0x080018ff, 0x000087fc, 0x00010000, 0x00ffe088, 0x00bf0050};
    s[51] = {0x0800781f, 0x000083fe, 0x01010000, 0xfef20088, 0x20bf0180};
    s[52] = {0x0800781f, 0x000083fe, 0x01010000, 0xfef20088, 0x20bf0181};
    s[53] = {0x0c00781f, 0x000083fc, 0x00010000, 0x79f20088, 0x20bf0200};
    s[54] = {0x0804781f, 0x002483fc, 0x00010000, 0x00f20088, 0x00bf004e};
    s[56] = {0x0800701f, 0x00008800, 0x00010380, 0x00f20308, 0x00bf0040};
    s[59] = {0x00000001, 0, 0, 0, 0};
    s[60] = {0x00000001, 0, 0, 0, 0};
    return s;
  }();
  return sets;
}

ExprBuilder NoResult() { return ExprBuilder(); }
ExprBuilder Yes() { return ExprBuilder().Result(B(true)); }
ExprBuilder No() { return ExprBuilder().Result(B(false)); }
ExprBuilder Value(const Operand& operand) { return ExprBuilder().Result(operand); }

ExprBuilder Compare(uint8_t op, const Operand& a, const Operand& b) {
  ExprBuilder e;
  e.Op(op, "____0", {a, b}).Result(V("____0"));
  return e;
}

ExprBuilder Assign(std::string_view var, const Operand& operand) {
  ExprBuilder e;
  e.Op(ExprBuilder::To, var, {operand});
  return e;
}

ExprBuilder Step(std::string_view var, uint8_t op, const Operand& operand) {
  ExprBuilder e;
  e.Op(op, var, {V(var), operand});
  return e;
}

PageWriter& PageWriter::Cmd(uint8_t type) {
  body_.U8(type).I32(indent_).U8(skip_once_ ? 1 : 0).U8(run_next_once_ ? 1 : 0);
  body_.I32(line_once_ >= 0 ? line_once_ : count_ + 1);
  run_next_once_ = true;
  skip_once_ = false;
  line_once_ = -1;
  ++count_;
  return *this;
}

PageWriter& PageWriter::Call(std::string_view page, int32_t target, std::string_view result_var,
                             const std::vector<ExprBuilder>& args, const ExprBuilder& cond) {
  Cmd(5).Str(page).I32(target).Str(result_var).Expr(cond).I32(static_cast<int32_t>(args.size()));
  for (const ExprBuilder& a : args) Expr(a);
  return *this;
}

PageWriter& PageWriter::Wait(const ExprBuilder& cond, const ExprBuilder& time, const ExprBuilder& hold) {
  Cmd(7).Expr(cond).Expr(time);
  if (version_ >= 107) Expr(hold);
  return *this;
}

PageWriter& PageWriter::Component(int32_t type, const std::map<int32_t, ExprBuilder>& props) {
  Cmd(static_cast<uint8_t>(type));
  const PropWords& set = sets_.at(static_cast<size_t>(type));
  for (int32_t id = 0; id < 159; ++id) {  // ids 0-158; bit 159 names no property
    if (!((set[static_cast<size_t>(id / 32)] >> (id % 32)) & 1u)) continue;
    auto it = props.find(id);
    Expr(it != props.end() ? it->second : NoResult());
  }
  return *this;
}

PageWriter& PageWriter::Cabinet(int32_t type, const std::map<int32_t, ExprBuilder>& props,
                                const ExprBuilder& exclude, const std::vector<ExprBuilder>& names) {
  Component(type, props).Expr(exclude).I32(static_cast<int32_t>(names.size()));
  for (const ExprBuilder& n : names) Expr(n);
  return *this;
}

PageWriter& PageWriter::TextIns(std::string_view text, const ExprBuilder& window, const ExprBuilder& history,
                                const ExprBuilder& wait, const ExprBuilder& hold) {
  Cmd(20).Str(text).Expr(window).Expr(history).Expr(wait);
  if (version_ >= 107) Expr(hold);
  return *this;
}

PageWriter& PageWriter::MovieStop(const ExprBuilder& name, const ExprBuilder& fade, const ExprBuilder& wait,
                                  const ExprBuilder& hold) {
  Cmd(21).Expr(name).Expr(fade).Expr(wait);
  if (version_ >= 107) Expr(hold);
  return *this;
}

PageWriter& PageWriter::PropMotion(const std::vector<ExprBuilder>& exprs) {
  Cmd(57);
  const size_t n = version_ >= 108 ? 7 : 6;
  for (size_t i = 0; i < n; ++i) Expr(i < exprs.size() ? exprs[i] : NoResult());
  return *this;
}

PageWriter& PageWriter::Flip(const ExprBuilder& kind, const ExprBuilder& length, const std::vector<ExprBuilder>& names) {
  FlipRecord r;
  r.kind = kind;
  r.length = length;
  r.names = names;
  return Flip(r);
}

PageWriter& PageWriter::Flip(const FlipRecord& r) {
  Cmd(13).Expr(r.kind).Expr(r.length).Expr(r.reverse).Expr(r.move_mode).I32(static_cast<int32_t>(r.names.size()));
  for (const ExprBuilder& n : r.names) Expr(n);
  Expr(r.clear).Expr(r.param0).Expr(r.param1);
  if (version_ >= 101) Expr(r.mask);
  if (version_ >= 107) Expr(r.hold);
  return *this;
}

PageWriter& PageWriter::GameSave(const ExprBuilder& slot, std::string_view resume_page, int32_t resume_index,
                                 const ExprBuilder& caption) {
  Cmd(38).Expr(slot).Str(resume_page);
  if (version_ >= 105) I32(resume_index);
  return Expr(caption);
}

PageWriter& PageWriter::Raw(uint8_t type, std::initializer_list<uint8_t> record) {
  Cmd(type);
  body_.Raw(record);
  return *this;
}

void PageWriter::Header(LeWriter& w) const {
  w.I32(version_).U8(result_type_).I32(set_count_).I32(set_size_);
  for (int32_t i = 0; i < set_count_; ++i) {
    PropWords words{};
    if (i < 61) words = sets_[static_cast<size_t>(i)];
    LeWriter rec;
    for (uint32_t word : words) rec.U32(word);
    const std::vector<uint8_t>& bytes = rec.Bytes();
    for (int32_t b = 0; b < set_size_; ++b) w.U8(b < 20 ? bytes[static_cast<size_t>(b)] : 0xEE);
  }
  w.I32(count_field_ >= 0 ? count_field_ : count_);
}

size_t PageWriter::HeaderSize() const {
  LeWriter w;
  Header(w);
  return w.Size();
}

std::vector<uint8_t> PageWriter::Bytes() const {
  LeWriter w;
  Header(w);
  w.Raw(body_.Bytes());
  return w.Bytes();
}

}  // namespace kova::test
