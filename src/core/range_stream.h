// Range streams: read-only windows onto a source stream, handed to media players so that large
// entries are played in place. A range stream owns its source and is the only one to move it, so
// several range streams over one file may be read from different threads, each through its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/stream.h"

namespace kova {

class TResourceModule;

// A window [Offset, Offset + size) of the source. Positions are relative to Offset and held within
// the window; writes write nothing.
class TRangeStream : public TStream {
 public:
  // Size 0 takes the source from `offset` to its end. The window is held within the source: an
  // offset past its end gives an empty window, and a size past its end is cut at the end.
  TRangeStream(std::unique_ptr<TStream> source, int64_t size, int64_t offset);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return size_; }

  // The window's start in the source.
  int64_t Offset() const { return offset_; }

 private:
  std::unique_ptr<TStream> source_;
  int64_t offset_ = 0;
  int64_t size_ = 0;
  int64_t position_ = 0;  // the source's position
};

// A window onto a host file (all its pieces), opened for reading.
class TFileRangeStream : public TRangeStream {
 public:
  // Raises EFOpenError when the file or one of its pieces cannot be opened.
  TFileRangeStream(const std::string& file_name, int64_t size, int64_t offset);
};

// A window onto a resource of a module (the program's own unless given).
class TResourceRangeStream : public TRangeStream {
 public:
  TResourceRangeStream(const std::string& resource_name, int64_t size, int64_t offset,
                       const std::string& resource_type);
  TResourceRangeStream(const TResourceModule& module, const std::string& resource_name,
                       int64_t size, int64_t offset, const std::string& resource_type);
};

}  // namespace kova
