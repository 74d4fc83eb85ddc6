#include "core/main_thread.h"

#include <cstdio>
#include <cstdlib>

namespace kova {

#if defined(KOVA_THREAD_CHECKS)
void TMainThread::Fail(const char* where) {
  std::fprintf(stderr, "kova: %s called off its main thread\n", where);
  std::abort();
}
#endif

}  // namespace kova
