#include "exec/Value.h"

#include "base/MemoryBlock.h"
#include "values/Transfor.h"

namespace qx {

Value Value::Owned(std::int16_t type, std::int32_t size, void* block) {
    Value v;
    v.type_ = type;
    v.size_ = size;
    v.data_ = block;
    v.owned_ = block;
    return v;
}

Value Value::Borrowed(std::int16_t type, std::int32_t size, const void* bytes) {
    Value v;
    v.type_ = type;
    v.size_ = size;
    v.data_ = bytes;
    return v;
}

Value Value::Inline(std::int16_t type, std::int32_t size, const void* bytes) {
    Value v;
    if (size < 0 || static_cast<std::size_t>(size) > sizeof v.local_) return v;
    v.type_ = type;
    v.size_ = size;
    std::memcpy(v.local_, bytes, static_cast<std::size_t>(size));
    v.data_ = v.local_;
    return v;
}

Value Value::Double(double number) { return Inline(kOperandDouble, 8, &number); }

Value Value::Copy() const {
    if (data_ == nullptr) return Value();
    if (data_ == local_) return Inline(type_, size_, local_);
    void* block = AllocValueBlock(static_cast<std::uint32_t>(size_ > 0 ? size_ : 1));
    if (block == nullptr) return Value();
    if (size_ > 0) std::memcpy(block, data_, static_cast<std::size_t>(size_));
    return Owned(type_, size_, block);
}

void Value::Reset() {
    if (owned_ != nullptr) FreeBlock(owned_);
    owned_ = nullptr;
    data_ = nullptr;
    type_ = 0;
    size_ = 0;
}

void* Value::Release() {
    if (data_ == nullptr) return nullptr;
    void* block = owned_;
    if (block == nullptr) {
        block = AllocValueBlock(static_cast<std::uint32_t>(size_ > 0 ? size_ : 1));
        if (block != nullptr && size_ > 0) std::memcpy(block, data_, static_cast<std::size_t>(size_));
    }
    owned_ = nullptr;
    data_ = nullptr;
    type_ = 0;
    size_ = 0;
    return block;
}

void Value::Take(Value& other) noexcept {
    type_ = other.type_;
    size_ = other.size_;
    owned_ = other.owned_;
    if (other.data_ == other.local_) {
        std::memcpy(local_, other.local_, sizeof local_);
        data_ = local_;
    } else {
        data_ = other.data_;
    }
    other.owned_ = nullptr;
    other.data_ = nullptr;
    other.type_ = 0;
    other.size_ = 0;
}

}  // namespace qx
