#include "components/widgets/kova_list.h"

#include <algorithm>

namespace kova {

int32_t TKovaList::AddUnique(TKovaObject* obj) {
  auto it = std::find(items_.begin(), items_.end(), obj);
  if (it != items_.end()) return int32_t(it - items_.begin());
  items_.push_back(obj);
  return Count() - 1;
}

void TKovaList::Remove(const TKovaObject* obj) {
  auto it = std::find(items_.begin(), items_.end(), obj);
  if (it != items_.end()) items_.erase(it);
}

}  // namespace kova
