// TableCursor: the run-time side of a TableRef - the record cursor that
// reads a host file one live record at a time, the writer that adds,
// rewrites or deletes records (and writes their memos) through the host,
// and the storage of whole rows in one block for a memory table (the
// result of a SELECT).
//
// Every host call goes through the one process-wide HostRecordBlock, with
// the dictionary's host context as first argument.  A record is only bytes
// here; items are located in it by the dictionary's offsets.
#include <climits>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/Interrupt.h"
#include "base/MemoryBlock.h"
#include "base/Messages.h"
#include "catalog/HostLink.h"
#include "catalog/ItemDescriptor.h"
#include "catalog/QueryDictionary.h"
#include "catalog/RowIndex.h"
#include "catalog/TableRef.h"

namespace qx {
namespace {

constexpr std::uint32_t kMaxTextMemo = 32000;  // longest text memo handed to the host
constexpr std::int32_t kFirstRowBudget = 1000000;  // bytes of rows of a memory table's first block
constexpr std::int32_t kRowBudgetStep = 100000;    // bytes of rows added at least per growth

std::uint32_t HostContextOf(const TableRef& table) {
    return table.dictionary != nullptr ? table.dictionary->hostContext : 0;
}

bool IsMemo(const ItemDescriptor* item) { return item->type == 12 || item->type == 22; }

// Position (from 0) of `item` among the memo items of its file, in
// dictionary order.  The file's items are this table's descriptors and the
// dictionary's descriptors of unmentioned items ("FILE.ITEM"); offsets give
// their dictionary order.
int MemoPosition(const TableRef& table, const ItemDescriptor* item) {
    int before = 0;
    for (const std::unique_ptr<ItemDescriptor>& other : table.items)
        if (IsMemo(other.get()) && other->offset < item->offset) ++before;
    const QueryDictionary* dictionary = table.dictionary;
    if (dictionary == nullptr) return before;
    const char* file = table.name.Get();
    std::size_t fileLength = std::strlen(file);
    for (const std::unique_ptr<ItemDescriptor>& other : dictionary->otherItems) {
        if (!IsMemo(other.get()) || other->offset >= item->offset) continue;
        const char* name = other->name.Get();
        if (std::strncmp(name, file, fileLength) == 0 && name[fileLength] == '.') ++before;
    }
    return before;
}

// Memo value block k (from 1) of the caller's memo parameter table, or null.
unsigned char* MemoParameter(const QueryDictionary* dictionary, std::uint32_t k) {
    if (dictionary == nullptr || dictionary->memoValues == 0 || k == 0) return nullptr;
    const auto* table = reinterpret_cast<const unsigned char*>(dictionary->memoValues);
    std::uint64_t address = 0;
    std::memcpy(&address, table + 2 + 8 * static_cast<std::size_t>(k - 1), sizeof address);
    return reinterpret_cast<unsigned char*>(static_cast<std::uintptr_t>(address));
}

}  // namespace

std::int32_t TableRef::ReadFrom(std::int64_t n) {
    const TableRef& file = aliasOf != nullptr ? *aliasOf : *this;
    if (file.IsMemoryTable()) {
        if (n < 1 || n > file.rowCount || record == nullptr || recordSize != file.recordSize) return 0;
        std::memcpy(record, file.RowAddress(static_cast<std::int32_t>(n)), recordSize);
        currentRecord = static_cast<std::uint32_t>(n);
        return static_cast<std::int32_t>(n);
    }
    HostRecordBlock* block = RecordBlock();
    const HostCallbacks& host = Host();
    if (host.readRecord == nullptr) return -3;
    if (n < 1) n = 1;
    for (;;) {
        // Every statement that reads a file passes here once a record, so
        // this is where a request to stop ends it.
        if (InterruptRequested()) return kReadInterrupted;
        if (n > INT32_MAX) {  // no record number beyond this: the end of the file
            block->status = 0;
            block->outOfFile = 1;
            break;
        }
        block->command = 'L';
        block->status = 0;
        block->outOfFile = 0;
        block->found = 0;
        host.readRecord(HostContextOf(*this), file.name.Get(), static_cast<std::int32_t>(n), block);
        if (block->status != 0 || block->outOfFile != 0 || block->found != 0) break;
        ++n;
    }
    lastStatus = block->status;
    if (block->status >= 3) {
        NoteHostFailure(HostContextOf(*this), file.name.Get(), block->status);
        return -block->status;
    }
    if (block->outOfFile != 0) {
        currentRecord = 0;
        return 0;
    }
    currentRecord = static_cast<std::uint32_t>(n);
    if (record != nullptr) {
        // Never trust the host's length beyond our buffer; a short record leaves zeros.
        std::size_t length = block->recordLength > 0 ? static_cast<std::size_t>(block->recordLength) : 0;
        if (length > recordSize) length = recordSize;
        const void* source = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(block->recordAddress));
        if (source == nullptr) length = 0;
        if (length > 0) std::memcpy(record, source, length);
        if (length < recordSize) std::memset(record + length, 0, recordSize - length);
    }
    return static_cast<std::int32_t>(currentRecord);
}

std::int16_t TableRef::WriteRecord(std::int32_t n) {
    return IsMemoryTable() ? WriteMemoryRow(n) : WriteFileRecord(n);
}

std::int16_t TableRef::WriteMemoryRow(std::int32_t n) {
    lastStatus = 0;
    if (recordSize == 0 || record == nullptr || n < 0 || rowCharge.Refused()) {
        SetWriteError(kMsgOutOfMemory, MessageText(kMsgOutOfMemory));
        return kWriteNoMemory;
    }
    std::int64_t target = n == 0 ? static_cast<std::int64_t>(rowCount) + 1 : n;
    if (target > INT32_MAX / 2) {
        SetWriteError(kMsgOutOfMemory, MessageText(kMsgOutOfMemory));
        return kWriteNoMemory;
    }
    if (target > rowCapacity) {
        // The first block holds about a megabyte of rows; later growth adds at
        // least ~100 KB of rows and otherwise half the capacity, so appends
        // stay amortised whatever the result size.
        std::int64_t capacity = rowCapacity == 0 ? kFirstRowBudget / recordSize
                                                 : rowCapacity + kRowBudgetStep / recordSize;
        if (rowCapacity != 0 && capacity < rowCapacity + rowCapacity / 2) capacity = rowCapacity + rowCapacity / 2;
        if (capacity < target) capacity = target;
        std::uint64_t bytes = static_cast<std::uint64_t>(capacity) * recordSize;
        void* grown = bytes > UINT32_MAX || !rowCharge.Hold(bytes) ? nullptr
                      : rows == nullptr                            ? AllocLargeBlock(static_cast<std::uint32_t>(bytes))
                                                                   : ReallocLargeBlock(rows, static_cast<std::uint32_t>(bytes));
        if (grown == nullptr) {
            ReleaseRows();
            SetWriteError(kMsgOutOfMemory, MessageText(kMsgOutOfMemory));
            return kWriteNoMemory;
        }
        rows = static_cast<unsigned char*>(grown);
        rowCapacity = static_cast<std::int32_t>(capacity);
    }
    auto row = static_cast<std::int32_t>(target);
    std::memcpy(RowAddress(row), record, recordSize);
    if (row == rowCount + 1) {
        rowCount = row;
        if (rowIndex != nullptr && !rowIndex->Add(record, row)) RowsReordered();
    } else if (row > rowCount) {
        rowCount = row;
        RowsReordered();  // rows skipped over are not in the hash
    } else {
        RowsReordered();  // a row was replaced: its hash is stale
    }
    return kWriteOk;
}

std::int16_t TableRef::WriteFileRecord(std::int32_t n) {
    HostRecordBlock* block = RecordBlock();
    const HostCallbacks& host = Host();
    const char* file = name.Get();
    block->memoAddress = 0;
    block->recordAddress = reinterpret_cast<std::uintptr_t>(record);
    block->recordLength = static_cast<std::int16_t>(recordSize);
    block->status = 0;
    block->duplicate = 0;
    if (host.writeRecord == nullptr) {
        block->status = 3;
    } else {
        host.writeRecord(HostContextOf(*this), file, n, block);
        // Memos belong to the record just written; a refused record has none.
        if (n >= 0 && block->status == 0 && block->duplicate == 0) WriteMemos();
    }
    lastStatus = block->status;
    std::int16_t code = kWriteOk;
    if (block->status != 0) code = kWriteReadWrite;
    if (block->duplicate != 0) code = kWriteDuplicate;
    if (code == kWriteReadWrite) {
        NoteHostFailure(HostContextOf(*this), file, lastStatus);
        SetWriteError(kMsgReadWriteError, HostFailureText(file, lastStatus).c_str());
    }
    if (code == kWriteDuplicate) SetWriteError(kMsgDuplicateKey, MessageText(kMsgDuplicateKey, file));
    return code;
}

void TableRef::WriteMemos() {
    if (items.empty() || dictionary == nullptr) return;
    HostRecordBlock* block = RecordBlock();
    const HostCallbacks& host = Host();
    if (host.writeMemo == nullptr) return;
    for (const std::unique_ptr<ItemDescriptor>& owned : items) {
        ItemDescriptor* item = owned.get();
        // Only memos this statement gave a value: an untouched memo item of a
        // record read back holds the host's own memo reference, not a parameter.
        if (!IsMemo(item) || item->written == 0) continue;
        if (static_cast<std::uint32_t>(item->offset) + 4 > recordSize) continue;
        std::uint32_t parameter = 0;
        std::memcpy(&parameter, record + item->offset, 4);
        const unsigned char* data = nullptr;
        std::uint32_t length = 0;
        std::vector<unsigned char> binary;  // a binary memo given as a value: header and bytes
        if (parameter == 0) {
            if (item->type == 12 && item->memoText != nullptr) {
                data = reinterpret_cast<const unsigned char*>(item->memoText);
                length = static_cast<std::uint32_t>(std::strlen(item->memoText));
                if (length > kMaxTextMemo) length = kMaxTextMemo;
            } else if (item->memoText != nullptr) {
                // Binary memos travel with their value block's header, as a parameter's do.
                std::uint32_t bytes = static_cast<std::uint32_t>(std::strlen(item->memoText));
                MemoValueBlock header{};
                header.dataOffset = OBHOST_MEMO_HEADER_SIZE;
                header.dataLength = bytes;
                binary.resize(OBHOST_MEMO_HEADER_SIZE + bytes);
                std::memcpy(binary.data(), &header, OBHOST_MEMO_HEADER_SIZE);
                std::memcpy(binary.data() + OBHOST_MEMO_HEADER_SIZE, item->memoText, bytes);
                data = binary.data();
                length = static_cast<std::uint32_t>(binary.size());
            }
        } else if (unsigned char* value = MemoParameter(dictionary, parameter)) {
            auto* header = reinterpret_cast<MemoValueBlock*>(value);
            std::uint16_t dataOffset = static_cast<std::uint16_t>(OBHOST_MEMO_HEADER_SIZE + header->headerExtra);
            header->dataOffset = dataOffset;
            if (item->type == 12) {
                data = value + dataOffset;
                length = header->dataLength;
                if (length > kMaxTextMemo) length = kMaxTextMemo;
            } else {
                data = value;
                length = dataOffset + header->dataLength;
            }
        }
        block->memoAddress = reinterpret_cast<std::uintptr_t>(data);
        block->memoNumber = static_cast<std::uint16_t>(MemoPosition(*this, item) + 1);
        host.writeMemo(HostContextOf(*this), data != nullptr ? length : 0, block);
    }
}

void TableRef::KeepRows(std::int32_t skip, std::int32_t count) {
    if (!IsMemoryTable() || rows == nullptr) return;
    if (skip < 0) skip = 0;
    if (skip > rowCount) skip = rowCount;
    if (count < 0 || count > rowCount - skip) count = rowCount - skip;
    if (skip > 0 && count > 0)
        std::memmove(RowAddress(1), RowAddress(skip + 1), static_cast<std::size_t>(count) * recordSize);
    rowCount = count;
    RowsReordered();
}

unsigned char* TableRef::RowAddress(std::int32_t n) const {
    if (!IsMemoryTable() || rows == nullptr || n < 1 || n > rowCapacity) return nullptr;
    return rows + static_cast<std::size_t>(n - 1) * recordSize;
}

std::int16_t TableRef::ContainsCurrentRow() {
    if (!IsMemoryTable() || record == nullptr || rowCount == 0) return 0;
    if (rowIndex == nullptr) {
        try {
            rowIndex = std::make_unique<RowIndex>(recordSize);
        } catch (const std::bad_alloc&) {
        }
        bool built = rowIndex != nullptr;
        for (std::int32_t row = 1; built && row <= rowCount; ++row) built = rowIndex->Add(RowAddress(row), row);
        if (!built) RowsReordered();
    }
    if (rowIndex != nullptr) return rowIndex->Contains(record, rows) ? 1 : 0;
    for (std::int32_t row = 1; row <= rowCount; ++row)  // no memory for the hash: scan
        if (std::memcmp(RowAddress(row), record, recordSize) == 0) return 1;
    return 0;
}

void TableRef::RowsReordered() { rowIndex.reset(); }

void TableRef::ReleaseRows() {
    if (rows != nullptr) FreeBlock(rows);
    rows = nullptr;
    rowCapacity = 0;
    rowCount = 0;
    RowsReordered();
    rowCharge.Hold(0);
}

}  // namespace qx
