// ChangeCounter: QXHostChangeCount looked up with dlsym.
#include "shell/ChangeCounter.h"

#include <dlfcn.h>

namespace qxsql {

ChangeCounter::ChangeCounter() {
    void* address = dlsym(RTLD_DEFAULT, "QXHostChangeCount");
    if (address != nullptr) count_ = reinterpret_cast<CountCall>(address);
}

std::uint32_t ChangeCounter::Count(std::uint16_t context) const { return count_ != nullptr ? count_(context) : 0; }

}  // namespace qxsql
