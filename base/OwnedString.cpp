// OwnedString: owned texts in memory blocks.
//
// Blocks up to 65520 bytes come from AllocBlock, larger ones from
// AllocLargeBlock; both resize through ReallocLargeBlock and are freed with
// FreeBlock.  The block's own size (from the block heap) is the capacity, so
// Reserve and Append resize only when the text would not fit.
#include "base/OwnedString.h"

#include <cstring>

#include "base/MemoryBlock.h"
#include "platform/BlockHeap.h"

namespace qx {
namespace {

void* NewBlock(std::size_t size) {
    if (size > UINT32_MAX) return nullptr;
    auto bytes = static_cast<std::uint32_t>(size);
    return bytes <= kMaxBlockSize ? AllocBlock(bytes) : AllocLargeBlock(bytes);
}

}  // namespace

OwnedString::~OwnedString() { Clear(); }

void OwnedString::Clear() {
    if (text != nullptr) FreeBlock(text);
    text = nullptr;
}

std::size_t OwnedString::Length() const { return text == nullptr ? 0 : std::strlen(text); }

std::size_t OwnedString::Capacity() const { return text == nullptr ? 0 : platform::HeapBlockSize(text); }

const char* OwnedString::Get() const {
    if (text == nullptr && (flags & kNullReadsEmpty) != 0) return "";
    return text;
}

std::int16_t OwnedString::Set(const char* value) {
    if (value == nullptr) return 1;
    std::size_t length = std::strlen(value);
    // Copy before freeing: `value` may point into the current text.
    auto* copy = static_cast<char*>(NewBlock(length + 1));
    if (copy != nullptr) std::memcpy(copy, value, length + 1);
    Clear();
    if (copy == nullptr) return 0;
    text = copy;
    if ((flags & kTrimOnSet) != 0) {
        while (length > 0 && text[length - 1] == ' ') text[--length] = '\0';
    }
    return 1;
}

std::int16_t OwnedString::Reserve(std::uint32_t length) {
    std::size_t wanted = static_cast<std::size_t>(length) + 1;
    if (text == nullptr) {
        text = static_cast<char*>(NewBlock(wanted));
        return text != nullptr ? 1 : 0;
    }
    if (Capacity() >= wanted) return 1;
    if (wanted > UINT32_MAX) return 0;
    void* moved = ReallocLargeBlock(text, static_cast<std::uint32_t>(wanted));
    if (moved == nullptr) return 0;
    text = static_cast<char*>(moved);
    return 1;
}

std::int16_t OwnedString::Append(const char* value, std::uint16_t newline) {
    if (value == nullptr) value = "";
    std::size_t added = std::strlen(value);
    std::size_t extra = newline != 0 ? 2 : 0;
    if (added == 0 && extra == 0 && text != nullptr) return 1;
    std::size_t current = Length();
    std::size_t total = current + added + extra;
    if (total >= UINT32_MAX) return 0;
    // `value` may point into the text: remember where before it can move.
    bool inside = text != nullptr && value >= text && value <= text + current;
    std::size_t insideAt = inside ? static_cast<std::size_t>(value - text) : 0;
    if (!Reserve(static_cast<std::uint32_t>(total))) return 0;
    if (inside) value = text + insideAt;
    std::memmove(text + current, value, added);
    if (extra != 0) std::memcpy(text + current + added, "\r\n", 2);
    text[total] = '\0';
    return 1;
}

}  // namespace qx
