#include "base/List.h"

#include "base/MemoryBlock.h"

namespace qx {

List::List(std::uint16_t initialCapacity, std::uint16_t growStep) : growStep_(growStep) {
    if (initialCapacity != 0) Grow(initialCapacity);
}

List::~List() {
    DeleteAll();
    if (items_ != nullptr) FreeBlock(items_);
    items_ = nullptr;
    capacity_ = 0;
}

std::int16_t List::Append(ListElement* element) {
    if (capacity_ - 1 <= last_) {
        if (!Grow(growStep_)) return -1;
    }
    ++last_;
    items_[last_] = element;
    return last_;
}

ListElement* List::GetAt(std::int16_t index) const {
    if (index < 0 || index > last_) return nullptr;
    return items_[index];
}

void List::SetAt(std::int16_t index, ListElement* element) {
    if (index < 0 || index > last_) return;
    items_[index] = element;
}

std::int16_t List::Find(std::int16_t start, const void* keyArgs) const {
    if (start < 0) start = 0;
    for (std::int16_t i = start; i <= last_; ++i) {
        ListElement* element = items_[i];
        if (element != nullptr && element->Compare(keyArgs) == 0) return i;
    }
    return -1;
}

std::int16_t List::Grow(std::uint16_t count) {
    if (count == 0) count = growStep_;
    if (count == 0) return 0;
    std::int32_t wanted = static_cast<std::int32_t>(capacity_) + count;
    if (wanted > kMaxEntries) {
        if (capacity_ >= kMaxEntries) return 0;
        wanted = kMaxEntries;
    }
    std::uint32_t bytes = static_cast<std::uint32_t>(wanted) * sizeof(ListElement*);
    void* block = items_ == nullptr ? AllocLargeBlock(bytes) : ReallocLargeBlock(items_, bytes);
    if (block == nullptr) return 0;
    items_ = static_cast<ListElement**>(block);
    capacity_ = static_cast<std::int16_t>(wanted);
    return 1;
}

void List::DeleteAll() {
    for (std::int16_t i = 0; i <= last_; ++i) {
        if (items_[i] != nullptr) {
            delete items_[i];
            items_[i] = nullptr;
        }
    }
    last_ = -1;
}

std::int16_t List::DetachAll(std::uint16_t reset) {
    std::int16_t visited = 0;
    for (std::int16_t i = 0; i <= last_; ++i) {
        items_[i] = nullptr;
        ++visited;
    }
    if (reset != 0) last_ = -1;
    return visited;
}

}  // namespace qx
