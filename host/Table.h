// Table: one open file of a database: its definition, records, memos,
// key indexes, and the reading position of the commands "P" and "S".
//
// Reads deliver the address of the record inside the record file's map
// (valid until the next write to this table).  Writes keep every key index
// in step and refuse a value twice in a unique key.  Memo slots of a record
// belong to the file engine: a record write keeps the memo references the
// record had (a new record has none) whatever the engine's buffer holds
// there, and only WriteMemo changes them.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/FileDef.h"
#include "host/KeyIndex.h"
#include "host/MemoFile.h"
#include "host/RecordFile.h"
#include "qxhost.h"

namespace qxhost {

class Transaction;

class Table {
public:
    // What a read delivers.
    struct ReadResult {
        std::int16_t status = 0;
        bool outOfFile = false;
        bool found = false;
        std::uint32_t number = 0;
        const unsigned char* record = nullptr;
        const std::string* error = nullptr;  // with a failure status: why (valid until the next read)
    };

    // Opens the files of `def` in `directory`, making those that are missing, checks them
    // and builds the key indexes.  `fresh` makes new empty files even when files are there.
    // False for a file that cannot be opened at all; damage does not stop the open: the
    // table then refuses what it cannot answer truly, with Complaint().
    // `patches`: what recovery would write, made in memory only (a connection that cannot write).
    bool Open(const std::string& directory, const FileDef& def, bool fresh, std::string& error,
              const std::vector<RecordFile::Patch>* patches = nullptr);

    // Why the table as a whole cannot be used (empty: it can).
    const std::string& Damage() const { return damage_; }
    bool Damaged() const { return !damage_.empty() || !records_.DamagedRecords().empty(); }
    // "QX file 'NAME' is damaged: <place>: <what>"
    std::string Complaint(const std::string& what) const;
    // Appends a line for every problem of the table's files to `problems`.
    void Check(std::vector<std::string>& problems) const;
    const MemoFile& Memos() const { return memos_; }
    // Items that hold memo references, in item order.
    const std::vector<std::size_t>& MemoItems() const { return memoItems_; }

    // Every change is reported to `transaction` first, as file number `index`.
    void Attach(Transaction* transaction, std::uint32_t index) {
        transaction_ = transaction;
        index_ = index;
    }

    const FileDef& Def() const { return def_; }
    const RecordFile& Records() const { return records_; }

    // Command "L": record n, a deleted number (neither flag), or the end of the file.
    void ReadNumber(std::int32_t n, ReadResult& out) {
        if (n < 1) {
            out.status = QXHOST_STATUS_REQUEST;
            return;
        }
        std::uint32_t number = static_cast<std::uint32_t>(n);
        lastRead_ = 0;  // a read that delivers nothing leaves nothing to delete
        if (number > records_.Count()) {
            out.outOfFile = true;
            if (damage_.empty()) return;
        }
        if (Damaged() && RefuseDamaged(number, out)) return;
        const unsigned char* record = records_.Record(number);
        if (record[0] != RecordFile::kLive) return;
        out.found = true;
        out.number = number;
        out.record = record;
        lastRead_ = number;
    }
    // Commands "P" (first) and "S" (next) in the order of the key named `keyName`
    // (an empty name: record number order).
    void ReadKeyed(bool first, const std::string& keyName, ReadResult& out);

    // Record writes: the statuses of qxhost.h; `duplicate` is set on a unique key refusal.
    std::int16_t Add(const unsigned char* data, std::uint32_t length, std::uint32_t& number, bool& duplicate,
                     std::string& error);
    std::int16_t Rewrite(std::uint32_t number, const unsigned char* data, std::uint32_t length, bool& duplicate,
                         std::string& error);
    std::int16_t DeleteLastRead(std::string& error);
    // Stores memo `memoNumber` (from 1 among the memo items) of record `number`.
    std::int16_t WriteMemo(std::uint32_t number, std::uint16_t memoNumber, const unsigned char* data,
                           std::uint32_t length, std::string& error);
    // Reads memo `reference`; false with `error` when it is damaged.
    bool ReadMemo(std::uint32_t reference, std::uint16_t& kind, std::vector<unsigned char>& data,
                  std::string& error) const;

    // Undo: puts `length` old bytes back at `offsetInRecord` of record `number`, keys included.
    bool Restore(std::uint32_t number, std::uint32_t offsetInRecord, const unsigned char* bytes, std::uint32_t length,
                 std::string& error);
    // Undo: keeps the first `count` records and the memos before `memoEnd` (0: no memo file).
    bool CutTo(std::uint32_t count, std::uint64_t memoEnd, std::string& error);
    bool Sync(std::string& error) { return records_.Sync(error) && (!memos_.IsOpen() || memos_.Sync(error)); }
    // After a checkpoint's sync: notes the files' sizes in their headers.
    bool NoteSizes(std::string& error) {
        return records_.WriteFloor(error) && (!memos_.IsOpen() || memos_.WriteFloor(error));
    }
    // The transaction that changed this table committed (memo space it freed may be
    // used again) or was undone (the memos it freed are referenced again).
    void Committed() { memos_.Commit(); }
    void Undone() { memos_.ForgetReleases(); }
    bool SyncMemos(std::string& error) { return !memos_.IsOpen() || memos_.Sync(error); }
    // Writes the new records waiting in memory (before a commit).
    bool Flush(std::string& error) { return records_.Flush(error); }

    // Checks that `key` could be created (for a unique key: no value
    // twice in the records); on success the new index is kept for CommitKey.
    bool PrepareKey(const KeyDef& key, std::string& error);
    // The key of `item` (number `index` of the file) on its own, as a KeyDef.
    static KeyDef ItemKey(const ItemDef& item, std::size_t index);
    // Makes the prepared key part of the table, with `def` the file's new definition.
    void CommitKey(const FileDef& def);

private:
    // Refuses the read of record `number` of a damaged table, when it cannot be answered.
    bool RefuseDamaged(std::uint32_t number, ReadResult& out);
    void Refuse(const std::string& message, ReadResult& out) {
        out.status = QXHOST_STATUS_IO;
        complaint_ = Complaint(message);
        out.error = &complaint_;
    }
    // Finds the free slots and checks the memo references of the records.
    void Survey(bool memoFileWasMissing);
    // Writes the slot image image_ as record n, logged first.
    bool WriteSlot(std::uint32_t n, std::string& error);
    // A write to a damaged table: the complaint in `error`, an I/O status.
    std::int16_t Refused(std::string& error) const;
    std::uint32_t MemoAt(const unsigned char* record, std::size_t item) const {
        std::uint32_t reference;
        std::memcpy(&reference, record + def_.items[item].offset, 4);
        return reference;
    }
    // Reports the change of `length` bytes at `offsetInRecord` of record n to the transaction.
    bool BeforeWrite(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data, std::uint32_t length,
                     std::string& error);
    void ForgetPosition() {
        lastRead_ = 0;
        cursorKey_ = -1;
        cursorRecord_ = 0;
    }
    void BuildImage(const unsigned char* data, std::uint32_t length, const unsigned char* memoSource);
    std::unique_ptr<KeyIndex> MakeIndex(const KeyDef& key) const;
    int FindKey(const std::string& name) const;

    FileDef def_;
    Transaction* transaction_ = nullptr;            // not owned; null: changes are not logged
    std::uint32_t index_ = 0;                       // this file's number in the analysis
    RecordFile records_;
    MemoFile memos_;
    std::vector<std::unique_ptr<KeyIndex>> keys_;   // item keys in item order, then composite keys
    std::unique_ptr<KeyIndex> preparedKey_;         // between PrepareKey and CommitKey
    std::vector<std::size_t> memoItems_;            // item indexes of the memo items, in item order
    std::vector<unsigned char> image_;              // slot being written: the record, its checksum
    std::vector<std::uint32_t> free_;               // free slots (candidates, checked when taken)
    std::string damage_;                            // why the table cannot be used
    std::string complaint_;                         // the last read refused
    std::vector<std::string> newKeys_, oldKeys_;    // key bytes during a write
    std::uint32_t lastRead_ = 0;                    // record of the last successful read
    int cursorKey_ = -1;                            // key of the last P/S read (-2: record order)
    std::string cursorBytes_;                       // its key bytes
    std::uint32_t cursorRecord_ = 0;                // and record number
};

}  // namespace qxhost
