// One description of a record, run in both directions. A record's fields are written once, as a
// function template over the direction:
//
//   template <class IO, class R>       // R is the record, const when saving
//   void TransferThing(IO& io, R& r) {
//     io.Str(r.Name);
//     io.Int(r.Count);
//     if (io.Since(116)) io.Int(r.Level);   // a field the older versions do not have
//     if (io.Before(120)) io.Int(r.Legacy);  // a field that version 120 dropped
//   }
//
// and run with a TRecordSaver to write the record or a TRecordLoader to read it, so loader and
// saver can never disagree on the order, the sizes or the version gates. The byte forms are those
// of stream_records.h (4-byte integers, 1-byte flags, length-prefixed strings, 10-byte reals).
// Parts that differ by direction (a pointer saved as a name, a value saved with its type) use
// `if constexpr (IO::kLoading)` inside the same function.
//
// Counts: `io.Count(n, min_bytes)` refuses, when loading, a negative count or one the bytes left
// cannot hold at `min_bytes` bytes an element, with the stream's read error; a record whose own
// error names its data passes it: `io.Count(n, min_bytes, TMsg::ParamDataError)`. Further bounds
// of a record (a largest count, a product of sizes) are checked in its `IO::kLoading` part.
//
// Lists: `io.List(r.Items, min_bytes, [&](auto& item) { TransferItem(io, item); })` runs the count
// and then the element description over every element. Loading reads the elements, each made
// default first, into a new list and puts it in place only once all of them were read, so a record
// that ends early leaves the list as it was (min_bytes is at least 1 here, so the count bounds
// what is made). A list of owners (`std::unique_ptr`) gets null elements, which the element
// description fills when loading.
//
// A format that reads what is there (stream_records.h's lenient reads) loads with
// `TRecordLoader(stream, version, TReadMode::Lenient)`: missing bytes read as 0, a count is never
// refused (a negative one reads as 0) and a list ends with the stream.
//
// Raw bytes of a size the record knows from elsewhere (a table's record of its columns' sizes, a
// fixed-width code): `io.Raw(data, size)`; a record that ends early raises EReadError.
//
// A field that loading hands to a setter (which redraws, loads a picture, clamps) names the value
// saved and the setter, as a generic lambda so that its body is compiled for loading only:
//
//     io.Str(r.source_, [&](auto v) { r.SetSource(v); });
//
// The setter's call must take the value as it comes (a call whose arguments do not depend on `v`
// is checked against the const record of the saver); a value converted on the way in is read
// into a local and set under `if constexpr (IO::kLoading)`.
// An object whose stream form is read in the record's version (LoadFromStream(stream, version))
// goes through `io.Versioned(object)`; a virtual one dispatches to its kind.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "core/errors.h"
#include "core/stream.h"
#include "core/stream_records.h"

namespace kova {

class TRecordSaver {
 public:
  static constexpr bool kLoading = false;

  // `version` is the version the record is written in (the newest: every gate is open).
  explicit TRecordSaver(TStream& stream, int32_t version = INT32_MAX) : stream_(stream), version_(version) {}

  TStream& Stream() const { return stream_; }
  int32_t Version() const { return version_; }
  // True when the record's version has the fields added in `first_version`.
  bool Since(int32_t first_version) const { return version_ >= first_version; }
  // True when the record's version still has a field that `dropped_in` and later versions lack.
  bool Before(int32_t dropped_in) const { return version_ < dropped_in; }

  void Int(const int32_t& v) { WriteStreamInteger(stream_, v); }
  void Byte(const uint8_t& v) { WriteStreamByte(stream_, v); }
  void Bool(const bool& v) { WriteStreamBool(stream_, v); }
  void Str(const std::string& v) { WriteStreamString(stream_, v); }
  void Ext(const long double& v) { WriteStreamExtended(stream_, v); }
  void Raw(const uint8_t* data, int64_t size) { stream_.WriteBuffer(data, size); }
  // A list's element count; loading refuses a count the bytes left cannot hold at `min_bytes`
  // bytes an element.
  void Count(const int32_t& n, int64_t /*min_bytes*/) { WriteStreamInteger(stream_, n); }
  // The same, refused with `error` (an EReadError) when loading.
  void Count(const int32_t& n, int64_t /*min_bytes*/, TMsg /*error*/) { WriteStreamInteger(stream_, n); }
  template <class V, class F>
  void List(const V& list, int64_t min_bytes, F&& each) {
    Count(static_cast<int32_t>(list.size()), min_bytes);
    for (const auto& element : list) each(element);
  }
  template <class V, class F>
  void List(const V& list, int64_t min_bytes, TMsg /*error*/, F&& each) {
    List(list, min_bytes, each);
  }
  // An object with its own stream form (SaveToStream / LoadFromStream).
  template <class T>
  void Object(const T& object) {
    object.SaveToStream(stream_);
  }
  template <class T>
  void Versioned(const T& object) {
    object.SaveToStream(stream_);
  }
  // Fields loaded through a setter: saving writes `v` and never calls `set`.
  template <class F>
  void Int(const int32_t& v, F&& /*set*/) { Int(v); }
  template <class F>
  void Byte(const uint8_t& v, F&& /*set*/) { Byte(v); }
  template <class F>
  void Bool(const bool& v, F&& /*set*/) { Bool(v); }
  template <class F>
  void Str(const std::string& v, F&& /*set*/) { Str(v); }

 private:
  TStream& stream_;
  int32_t version_;
};

class TRecordLoader {
 public:
  static constexpr bool kLoading = true;
  static constexpr int32_t kListReserve = 4096;

  // `version` is the version the record was written in; fields of later versions are not read.
  explicit TRecordLoader(TStream& stream, int32_t version = INT32_MAX) : stream_(stream), version_(version) {}
  TRecordLoader(TStream& stream, int32_t version, TReadMode mode) : stream_(stream), version_(version), mode_(mode) {}

  TStream& Stream() const { return stream_; }
  int32_t Version() const { return version_; }
  bool Since(int32_t first_version) const { return version_ >= first_version; }
  bool Before(int32_t dropped_in) const { return version_ < dropped_in; }

  // Checked reads: a record that ends early raises EReadError.
  void Int(int32_t& v) { v = ReadStreamInteger(stream_, mode_); }
  void Byte(uint8_t& v) { v = ReadStreamByte(stream_, mode_); }
  void Bool(bool& v) { v = ReadStreamBool(stream_, mode_); }
  void Str(std::string& v) { v = ReadStreamString(stream_, mode_); }
  void Ext(long double& v) { v = ReadStreamExtended(stream_, mode_); }
  void Raw(uint8_t* data, int64_t size) { stream_.ReadBuffer(data, size); }
  void Count(int32_t& n, int64_t min_bytes) { Count(n, min_bytes, TMsg::StreamReadError); }
  void Count(int32_t& n, int64_t min_bytes, TMsg error) {
    n = ReadStreamInteger(stream_, mode_);
    if (n < 0 || (min_bytes > 0 && n > stream_.Remaining() / min_bytes)) {
      if (mode_ == TReadMode::Checked) Raise<EReadError>(error);
      if (n < 0) n = 0;
    }
  }
  template <class V, class F>
  void List(V& list, int64_t min_bytes, F&& each) {
    List(list, min_bytes, TMsg::StreamReadError, each);
  }
  template <class V, class F>
  void List(V& list, int64_t min_bytes, TMsg error, F&& each) {
    int32_t n = 0;
    Count(n, min_bytes, error);
    // Grown as the elements are read, so a count the bytes could only just hold reserves no more
    // than kListReserve elements ahead.
    V read;
    read.reserve(static_cast<size_t>(n < kListReserve ? n : kListReserve));
    for (int32_t i = 0; i < n && (mode_ == TReadMode::Checked || stream_.Remaining() > 0); ++i) {
      each(read.emplace_back());
    }
    list = std::move(read);
  }
  template <class T>
  void Object(T& object) {
    object.LoadFromStream(stream_);
  }
  template <class T>
  void Versioned(T& object) {
    object.LoadFromStream(stream_, version_);
  }
  // Fields loaded through a setter: loading reads the value as the plain reads do (in the
  // loader's mode) and passes it to `set`.
  template <class F>
  void Int(const int32_t& /*saved*/, F&& set) { set(Read<int32_t>(&TRecordLoader::Int)); }
  template <class F>
  void Byte(const uint8_t& /*saved*/, F&& set) { set(Read<uint8_t>(&TRecordLoader::Byte)); }
  template <class F>
  void Bool(const bool& /*saved*/, F&& set) { set(Read<bool>(&TRecordLoader::Bool)); }
  template <class F>
  void Str(const std::string& /*saved*/, F&& set) { set(Read<std::string>(&TRecordLoader::Str)); }

 private:
  template <class V>
  V Read(void (TRecordLoader::*read)(V&)) {
    V v{};
    (this->*read)(v);
    return v;
  }

  TStream& stream_;
  int32_t version_;
  TReadMode mode_ = TReadMode::Checked;
};

}  // namespace kova
