// Value: one value of expression evaluation - an operand type code, a size
// in bytes and the bytes themselves.
//
// A value either owns its bytes (a memory block it frees), keeps them in its
// own small inline buffer (numbers), or borrows them (an item's current
// value or a literal's text, valid while the evaluation of one predicate
// runs).  Whoever receives a Value owns it; a Value with no data is "no
// value".  Move-only.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace qx {

class Value {
public:
    Value() = default;
    ~Value() { Reset(); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    Value(Value&& other) noexcept { Take(other); }
    Value& operator=(Value&& other) noexcept {
        if (this != &other) {
            Reset();
            Take(other);
        }
        return *this;
    }

    // Takes over a memory block (released with FreeBlock).
    static Value Owned(std::int16_t type, std::int32_t size, void* block);
    // Points at bytes that outlive the value.
    static Value Borrowed(std::int16_t type, std::int32_t size, const void* bytes);
    // Copies up to 16 bytes into the inline buffer.
    static Value Inline(std::int16_t type, std::int32_t size, const void* bytes);
    static Value Double(double number);

    bool Has() const { return data_ != nullptr; }
    std::int16_t Type() const { return data_ != nullptr ? type_ : 0; }
    std::int32_t Size() const { return size_; }
    const void* Data() const { return data_; }
    // A copy that owns its bytes (null data when memory runs out).
    Value Copy() const;
    // Releases owned bytes; the value becomes "no value".
    void Reset();
    // Gives up ownership of the bytes to the caller (a memory block, copied
    // into one when the value borrowed them or kept them inline); null when
    // there is no value or memory runs out.
    void* Release();

private:
    void Take(Value& other) noexcept;

    std::int16_t type_ = 0;
    std::int32_t size_ = 0;
    const void* data_ = nullptr;
    void* owned_ = nullptr;
    alignas(8) unsigned char local_[16] = {};
};

// The values of a row source, one per row (a row may hold no value).
using RowList = std::vector<Value>;

}  // namespace qx
