// Cell: the conversions between an item's bytes in a record and its value.
//
// Every access goes through FieldSpan, the item's bytes in a record bounded
// by the owner's record size, so that neither a read nor a write can leave
// the record whatever the declared size, offset or value length.  Memos are
// read through the host's OGETMEMO with the host context of the item's dictionary.
#include "catalog/Cell.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "base/MemoryBlock.h"
#include "catalog/Context.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/TableRef.h"
#include "obhost.h"
#include "platform/Utf8.h"
#include "values/FieldType.h"
#include "values/FixedPoint.h"
#include "values/Transfor.h"

namespace qx {
namespace {

// Bytes an item of `type` occupies in the record (one array element).
std::uint32_t FieldBytes(std::uint16_t type, std::uint16_t size) {
    switch (type) {
        case 1: case 2: return 1;
        case 3: case 4: return 2;
        case 5: case 6: case 7: case 12: case 22: return 4;
        case 9: return 8;
        case 10: return 10;
        case 98: return size > 0 ? size - 1u : 0u;
        case 99: return 4;
        default: return size;
    }
}

// The item's bytes in a record: `length` is FieldBytes cut to what the
// owner's record holds after the offset.
struct FieldSpan {
    unsigned char* bytes = nullptr;
    std::uint32_t length = 0;
};

FieldSpan SpanIn(const ItemDescriptor* item, const void* record) {
    FieldSpan span;
    if (record == nullptr) return span;
    std::uint32_t length = FieldBytes(item->type, item->size);
    if (item->owner != nullptr) {
        std::uint32_t recordSize = item->owner->recordSize;
        std::uint32_t available = recordSize > item->offset ? recordSize - item->offset : 0;
        if (length > available) length = available;
    }
    span.bytes = static_cast<unsigned char*>(const_cast<void*>(record)) + item->offset;
    span.length = length;
    return span;
}

const void* CurrentRecord(const ItemDescriptor* item) {
    return item->owner != nullptr ? item->owner->record : nullptr;
}

// Reads the little-endian integer of `width` bytes; a span too short reads 0.
template <typename T>
T LoadField(const FieldSpan& span) {
    T value{};
    if (span.length >= sizeof(T)) std::memcpy(&value, span.bytes, sizeof(T));
    return value;
}

std::uint32_t MemoReference(const FieldSpan& span) { return LoadField<std::uint32_t>(span); }

void TrimTrailingSpaces(char* text) {
    std::size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == ' ') --length;
    text[length] = '\0';
}

std::uint32_t HostContextOf(const ItemDescriptor* item) {
    return item->owner != nullptr && item->owner->dictionary != nullptr ? item->owner->dictionary->hostContext : 0;
}

bool CanAskHost(const ItemDescriptor* item) {
    return item->owner != nullptr && item->owner->dictionary != nullptr && Host().getMemo != nullptr;
}

// Text memo: the host gives the address of the text, its 16-bit length in
// the two bytes before it.
void ReadTextMemo(const ItemDescriptor* item, std::uint32_t reference, char* out) {
    out[0] = '\0';
    if (reference == 0 || !CanAskHost(item)) return;
    std::uintptr_t address = 0;
    if (std::int16_t status = Host().getMemo(HostContextOf(item), item->tableName, reference, kFieldTextMemo, &address);
        status != 0 || address == 0) {
        if (status != 0) NoteHostFailure(HostContextOf(item), item->tableName, status);  // never read as empty
        return;
    }
    const auto* text = reinterpret_cast<const char*>(address);
    std::uint16_t length;
    std::memcpy(&length, text - 2, sizeof length);
    std::uint32_t kept = length < kMemoTextLimit ? length : kMemoTextLimit;
    std::memcpy(out, text, kept);
    out[kept] = '\0';
}

// Binary memo: the host gives a handle of a memo value block; the value is
// the first half of at most 4096 data bytes in upper-case hexadecimal.
void ReadBinaryMemo(const ItemDescriptor* item, std::uint32_t reference, char* out) {
    out[0] = '\0';
    if (reference == 0 || !CanAskHost(item)) return;
    std::uintptr_t handle = 0;
    if (std::int16_t status = Host().getMemo(HostContextOf(item), item->tableName, reference, kFieldBinaryMemo, &handle);
        status != 0 || handle == 0) {
        if (status != 0) NoteHostFailure(HostContextOf(item), item->tableName, status);
        return;
    }
    auto* block = static_cast<unsigned char*>(LockBlockHandle(handle));
    if (block == nullptr) return;
    std::uint8_t extra;
    std::uint32_t dataLength;
    std::memcpy(&extra, block + offsetof(MemoValueBlock, headerExtra), 1);
    std::memcpy(&dataLength, block + offsetof(MemoValueBlock, dataLength), 4);
    std::uint16_t dataOffset = static_cast<std::uint16_t>(OBHOST_MEMO_HEADER_SIZE + extra);
    std::memcpy(block + offsetof(MemoValueBlock, dataOffset), &dataOffset, 2);  // located: tell the block
    std::uint32_t copied = dataLength < kMemoTextLimit ? dataLength : kMemoTextLimit;
    std::memcpy(out, block + dataOffset, copied);
    UnlockBlockHandle(handle);
    // Byte i becomes characters 2i and 2i+1: from the last byte down, the
    // digits never overwrite a byte still to be converted.
    static const char kDigits[] = "0123456789ABCDEF";
    std::uint32_t shown = copied / 2;
    for (std::uint32_t i = shown; i-- > 0;) {
        unsigned char byte = static_cast<unsigned char>(out[i]);
        out[2 * i] = kDigits[byte >> 4];
        out[2 * i + 1] = kDigits[byte & 0x0F];
    }
    out[2 * shown] = '\0';
}

// memcpy that accepts an empty copy from a missing record.
void CopyBytes(void* target, const void* source, std::size_t count) {
    if (count > 0) std::memcpy(target, source, count);
}

void CopyText(char* out, const FieldSpan& span, std::uint32_t count) {
    if (count > span.length) count = span.length;
    CopyBytes(out, span.bytes, count);
    out[count] = '\0';
}

// trunc(x) as a 64-bit integer: NaN gives 0, the 64-bit range saturates.
std::int64_t TruncatedInteger(double x) {
    if (std::isnan(x)) return 0;
    if (x <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    if (x >= 9223372036854775808.0) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(x);
}

// The low `width` bytes of the truncated value, little-endian.
void StoreLowBytes(const FieldSpan& span, double x, std::uint32_t width) {
    if (span.length < width) return;
    std::uint64_t bits = static_cast<std::uint64_t>(TruncatedInteger(x));
    for (std::uint32_t i = 0; i < width; ++i) span.bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

// Copies `text` into the span's first `capacity` bytes (at most), cut at a
// UTF-8 sequence boundary; the bytes after it up to `capacity` get spaces.
void PutPadded(unsigned char* target, std::uint32_t capacity, const char* text) {
    std::size_t length = std::strlen(text);
    std::size_t kept = platform::Utf8CutLength(text, length, capacity);
    CopyBytes(target, text, kept);
    if (capacity > kept) std::memset(target + kept, ' ', capacity - kept);
}

void WriteMemo(ItemDescriptor* item, const FieldSpan& span, const char* text) {
    if (item->memoText != nullptr) FreeBlock(item->memoText);
    item->memoText = nullptr;
    std::uint32_t reference = 0;
    if (text[0] == kMemoMarkerChar) {
        // A parameter marker: the number after the character is the
        // parameter, looked up by the record writer.
        for (const char* c = text + 1; *c >= '0' && *c <= '9'; ++c) {
            std::uint64_t next = static_cast<std::uint64_t>(reference) * 10 + static_cast<unsigned>(*c - '0');
            reference = next > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(next);
        }
    } else {
        DuplicateText(&item->memoText, text, 0);
    }
    if (span.length >= 4) std::memcpy(span.bytes, &reference, 4);
}

void WriteDate(const FieldSpan& span, const char* text) {
    // The value as 8 characters YYYYMMDD: a 6-character one gets the century 19.
    char date[9];
    if (std::strlen(text) == 6) {
        std::memcpy(date, "19", 2);
        std::memcpy(date + 2, text, 6);
    } else {
        std::size_t length = strnlen(text, 8);
        std::memcpy(date, text, length);
        std::memset(date + length, ' ', 8 - length);
    }
    date[8] = '\0';
    if (span.length == 6) std::memcpy(span.bytes, date + 2, 6);
    else std::memcpy(span.bytes, date, span.length < 8 ? span.length : 8);
}

}  // namespace

void* ReadCell(ItemDescriptor* item, const void* record) {
    if (item == nullptr || item->keyKind == ItemDescriptor::kCompositeKey) return nullptr;
    if (item->valueBuffer == nullptr) {
        std::uint32_t size = ValueBufferSize(item);
        std::uint32_t display = DisplaySize(item);
        if (display > size) size = display;
        if (size <= 65500) size += 16;
        item->valueBuffer = AllocValueBlock(size);
        if (item->valueBuffer == nullptr) return nullptr;
    }
    if (record == nullptr) record = CurrentRecord(item);
    FieldSpan span = SpanIn(item, record);
    auto* out = static_cast<char*>(item->valueBuffer);
    double number = 0.0;
    switch (item->type) {
        case 0: case 8: case 11: case 16: case 17:
            CopyBytes(out, span.bytes, span.length);
            return out;
        case kFieldInt8: number = LoadField<std::int8_t>(span); break;
        case kFieldUInt8: number = LoadField<std::uint8_t>(span); break;
        case kFieldInt16: number = LoadField<std::int16_t>(span); break;
        case kFieldUInt16: number = LoadField<std::uint16_t>(span); break;
        case kFieldInt32: number = LoadField<std::int32_t>(span); break;
        case kFieldUInt32: number = LoadField<std::uint32_t>(span); break;
        case kFieldFloat: {
            // Through its 7-significant-digit text: 0.1f reads as 0.1.
            number = LoadField<float>(span);
            if (std::isfinite(number)) {
                char text[kNumberTextCapacity];
                WriteNumber(text, number, 7);
                number = ReadNumber(text);
            }
            break;
        }
        case kFieldDouble: number = LoadField<double>(span); break;
        case kFieldFixedPoint:
            if (span.length >= static_cast<std::uint32_t>(kFixedPointBytes)) number = FixedPointToReal(span.bytes);
            break;
        case kFieldTextMemo: ReadTextMemo(item, MemoReference(span), out); break;
        case kFieldBinaryMemo: ReadBinaryMemo(item, MemoReference(span), out); break;
        case kFieldFixedText: case kFieldTime: case kFieldTerminatedText:
            CopyText(out, span, DisplaySize(item));
            break;
        case kFieldCountedText: {
            std::uint32_t count = span.length > 0 ? span.bytes[0] : 0;
            std::uint32_t room = span.length > 0 ? span.length - 1 : 0;
            if (count > room) count = room;
            if (count > 0) std::memcpy(out, span.bytes + 1, count);
            out[count] = '\0';
            break;
        }
        case kFieldDate:
            if (span.length == 6) {
                std::memcpy(out, "19", 2);
                CopyText(out + 2, span, 6);
            } else {
                CopyText(out, span, 8);
            }
            break;
        default:
            return out;  // not a type the engine reads: the buffer stays as it was
    }
    switch (ValueClassOf(item->type)) {
        case kClassNumeric: std::memcpy(out, &number, sizeof number); break;
        case kClassText: TrimTrailingSpaces(out); break;
        default: break;
    }
    return out;
}

void WriteCell(ItemDescriptor* item, const void* value) {
    if (item == nullptr) return;
    item->written = 1;
    if (item->keyKind == ItemDescriptor::kCompositeKey || value == nullptr) return;
    FieldSpan span = SpanIn(item, CurrentRecord(item));
    if (span.bytes == nullptr) return;
    const auto* text = static_cast<const char*>(value);
    double number = 0.0;
    if (ValueClassOf(item->type) == kClassNumeric) std::memcpy(&number, value, sizeof number);
    switch (item->type) {
        case 0: case 8: case 11: case 16: case 17:
            CopyBytes(span.bytes, value, span.length);
            break;
        case kFieldInt8: case kFieldUInt8: StoreLowBytes(span, number, 1); break;
        case kFieldInt16: case kFieldUInt16: StoreLowBytes(span, number, 2); break;
        case kFieldInt32: case kFieldUInt32: StoreLowBytes(span, number, 4); break;
        case kFieldFloat: {
            if (span.length < 4) break;
            float f;
            if (std::isnan(number)) f = std::numeric_limits<float>::quiet_NaN();
            else if (number > FLT_MAX) f = std::numeric_limits<float>::infinity();
            else if (number < -FLT_MAX) f = -std::numeric_limits<float>::infinity();
            else f = static_cast<float>(number);
            std::memcpy(span.bytes, &f, 4);
            break;
        }
        case kFieldDouble:
            if (span.length >= 8) std::memcpy(span.bytes, &number, 8);
            break;
        case kFieldFixedPoint:
            if (span.length >= static_cast<std::uint32_t>(kFixedPointBytes)) RealToFixedPoint(number, span.bytes);
            break;
        case kFieldTextMemo: case kFieldBinaryMemo:
            WriteMemo(item, span, text);
            break;
        case kFieldFixedText: case kFieldTime:
            PutPadded(span.bytes, span.length, text);
            break;
        case kFieldCountedText: {
            if (span.length == 0) break;
            std::uint32_t room = span.length - 1;
            std::uint32_t display = DisplaySize(item);
            span.bytes[0] = static_cast<unsigned char>(display < 255 ? display : 255);
            PutPadded(span.bytes + 1, room, text);
            break;
        }
        case kFieldTerminatedText: {
            if (span.length == 0) break;
            std::uint32_t room = span.length - 1;
            PutPadded(span.bytes, room, text);
            span.bytes[room] = '\0';
            break;
        }
        case kFieldDate: WriteDate(span, text); break;
        default: break;
    }
}

void CopyItemBytes(ItemDescriptor* target, const ItemDescriptor* source) {
    if (target == nullptr || source == nullptr || source->keyKind == ItemDescriptor::kCompositeKey) return;
    const void* from = CurrentRecord(source);
    void* to = target->owner != nullptr ? target->owner->record : nullptr;
    if (from == nullptr || to == nullptr) return;
    std::uint32_t count = target->size;
    auto room = [](const ItemDescriptor* item) -> std::uint32_t {
        std::uint32_t recordSize = item->owner->recordSize;
        return recordSize > item->offset ? recordSize - item->offset : 0;
    };
    if (count > room(source)) count = room(source);
    if (count > room(target)) count = room(target);
    if (count > 0)
        std::memmove(static_cast<unsigned char*>(to) + target->offset,
                     static_cast<const unsigned char*>(from) + source->offset, count);
}

namespace {

bool IsNumberType(std::int16_t type) {
    return (type >= kOperandInt16 && type <= kOperandDouble) || type == kOperandFloatAlt;
}

double NumberOf(std::int16_t type, const void* p) {
    return IsNumberType(type) ? ReadOperandNumber(type, p) : ReadNumber(static_cast<const char*>(p));
}

}  // namespace

void WriteValue(ItemDescriptor* item, std::int16_t type, const void* bytes) {
    bool numericItem = ValueClassOf(item->type) == kClassNumeric;
    if (numericItem) {
        double number = NumberOf(type, bytes);
        WriteCell(item, &number);
        return;
    }
    if (!IsNumberType(type)) {
        WriteCell(item, bytes);
        return;
    }
    double number = NumberOf(type, bytes);
    char text[kNumberTextCapacity];
    if (type == kOperandDouble && item->type == kFieldTerminatedText) std::snprintf(text, sizeof text, "%lf", number);
    else WriteNumber(text, number, 9);
    WriteCell(item, text);
}

}  // namespace qx
