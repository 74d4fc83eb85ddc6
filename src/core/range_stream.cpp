#include "core/range_stream.h"

#include <algorithm>
#include <utility>

#include "core/big_stream.h"
#include "core/resources.h"

namespace kova {

TRangeStream::TRangeStream(std::unique_ptr<TStream> source, int64_t size, int64_t offset)
    : source_(std::move(source)) {
  int64_t source_size = source_->GetSize();
  offset_ = std::clamp<int64_t>(offset, 0, source_size);
  int64_t rest = source_size - offset_;
  size_ = size == 0 ? rest : std::clamp<int64_t>(size, 0, rest);
  position_ = source_->Seek(offset_, TSeekOrigin::Beginning);
}

int64_t TRangeStream::Read(void* buffer, int64_t count) {
  int64_t n = std::min(count, offset_ + size_ - position_);
  if (n <= 0) return 0;
  int64_t got = source_->Read(buffer, n);
  if (got > 0) position_ += got;
  return got > 0 ? got : 0;
}

int64_t TRangeStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (origin == TSeekOrigin::Current && offset == 0) return position_ - offset_;
  int64_t base = origin == TSeekOrigin::Beginning ? 0
                 : origin == TSeekOrigin::Current ? position_ - offset_
                                                  : size_;
  // base lies in [0, size_], so neither bound below overflows.
  int64_t relative = offset > size_ - base ? size_ : offset < -base ? 0 : base + offset;
  position_ = source_->Seek(offset_ + relative, TSeekOrigin::Beginning);
  return position_ - offset_;
}

TFileRangeStream::TFileRangeStream(const std::string& file_name, int64_t size, int64_t offset)
    : TRangeStream(std::make_unique<TXrBigFileStream>(file_name, plat::TFileMode::Read), size,
                   offset) {}

TResourceRangeStream::TResourceRangeStream(const std::string& resource_name, int64_t size,
                                           int64_t offset, const std::string& resource_type)
    : TResourceRangeStream(ProgramResources(), resource_name, size, offset, resource_type) {}

TResourceRangeStream::TResourceRangeStream(const TResourceModule& module,
                                           const std::string& resource_name, int64_t size,
                                           int64_t offset, const std::string& resource_type)
    : TRangeStream(std::make_unique<TXrBigResourceStream>(module, resource_name, resource_type),
                   size, offset) {}

}  // namespace kova
