#include "base/ListElement.h"

#include "base/MemoryBlock.h"
#include "platform/BlockHeap.h"

namespace qx {

std::int16_t ListElement::Compare(const void*) const { return 0; }

void* ListElement::operator new(std::size_t size) noexcept {
    void* block = platform::HeapAllocate(size);
    if (block == nullptr) NoteAllocationFailure();
    return block;
}

void ListElement::operator delete(void* block) noexcept {
    if (block != nullptr) platform::HeapRelease(block);
}

}  // namespace qx
