// Weighing large allocations against the memory the system has free now.
#include "state/sys_table.h"

#include <new>

namespace zarnith {

void WeighAgainstAvailable(const SysCalls& sys, std::uint64_t bytes) {
  std::uint64_t available = sys.availableMemory();
  if (available != 0 && bytes > available) throw std::bad_alloc();
}

}  // namespace zarnith
