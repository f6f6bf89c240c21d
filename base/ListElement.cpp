#include "base/ListElement.h"

#include "platform/BlockHeap.h"

namespace qx {

std::int16_t ListElement::Compare(const void*) const { return 0; }

void* ListElement::operator new(std::size_t size) noexcept { return platform::HeapAllocate(size); }

void ListElement::operator delete(void* block) noexcept {
    if (block != nullptr) platform::HeapRelease(block);
}

}  // namespace qx
