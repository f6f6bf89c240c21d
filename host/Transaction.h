// Transaction: the statement and transaction boundaries of one open
// database, and what undoes them.
//
// Every change goes through a transaction: the SQL engine's statements
// (begin statement, end or undo), the transactions of BEGIN / COMMIT /
// ROLLBACK, and, for a caller that gives no boundary, each write call on its
// own.  Tables report each change before making it (Touch, then LogWrite);
// the Journal keeps the frames that survive a crash, and this class keeps,
// in memory, where the old bytes of each overwrite sit in the log and the
// record count and memo size of each file at the start of the transaction
// and of the statement, so that a failed statement or a ROLLBACK is undone
// in place: the files, the key indexes and the log go back together.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/Journal.h"

namespace qxhost {

class Table;

class Transaction {
public:
    // A boundary as OTRANSACTION numbers it (obhost.h).
    enum class Step : std::int32_t {
        kBeginStatement = 0,
        kEndStatement = 1,
        kUndoStatement = 2,
        kBegin = 3,
        kCommit = 4,
        kRollback = 5,
        kBeginWritingStatement = 6,  // kBeginStatement of a statement that changes records
    };

    explicit Transaction(std::vector<std::unique_ptr<Table>>& tables) : tables_(tables) {}

    Journal& Log() { return log_; }
    // The log could not be opened (a full disk, a read-only directory): reads only.
    void SetReadOnly(std::string reason) { readOnly_ = std::move(reason); }
    bool ReadOnly() const { return !readOnly_.empty(); }
    void SetSync(bool sync) {
        sync_ = sync;
        log_.SetSync(sync);
    }

    // `wantWrite` is called before the first change of a statement (it takes the exclusive
    // lock); `committed` after each commit that changed something.
    void SetHooks(std::function<bool(std::string&)> wantWrite, std::function<void()> committed) {
        wantWrite_ = std::move(wantWrite);
        committed_ = std::move(committed);
    }

    bool InStatement() const { return inStatement_; }
    bool InTransaction() const { return explicit_; }
    // Applies `step`; a status of qxhost.h, with a message in `error` when it is not 0.
    std::int16_t Apply(Step step, std::string& error);
    // Before a table's layout, name or existence changes: refused inside BEGIN ... COMMIT
    // (its undo needs the files as they are); else empties the log, whose frames name
    // tables by their place in the analysis.
    bool PrepareSchemaChange(std::string& error);
    // Undoes any open transaction and, with `checkpoint`, empties the log (closing).
    void Finish(bool checkpoint);

    // Called by a table before its files change: `count` records and `memoEnd` bytes of
    // memos (0: no memo file) as they are now.
    bool Touch(std::uint32_t table, std::uint32_t count, std::uint64_t dataSize, std::uint64_t memoEnd,
               std::string& error);
    // Called by a table before `length` bytes at `offsetInRecord` of record `record`
    // (at `fileOffset` in its record file) change from `before` (null: a new record) to `after`.
    bool LogWrite(std::uint32_t table, std::uint32_t record, std::uint32_t offsetInRecord, std::uint64_t fileOffset,
                  const unsigned char* before, const unsigned char* after, std::uint32_t length, std::string& error);

private:
    struct Undo {
        std::uint32_t table;
        std::uint32_t record;
        std::uint32_t offsetInRecord;
        std::uint32_t length;
        std::uint64_t beforeAt;  // the old bytes, in the log
    };
    struct Start {
        std::uint32_t table;
        std::uint32_t count;
        std::uint64_t memoEnd;
    };
    struct Mark {
        std::size_t undo = 0;
        std::size_t starts = 0;     // txnStarts_ entries before the statement
        std::uint64_t logEnd = 0;
    };

    bool Begin(bool explicitly, std::string& error);
    bool Commit(std::string& error);
    // Undoes back to the statement's start (statement) or the transaction's.
    bool UndoTo(bool statement, std::string& error);
    void Close();
    bool Checkpoint(std::string& error);
    std::uint32_t& Flag(std::vector<std::uint32_t>& flags, std::uint32_t table) {
        if (table >= flags.size()) flags.resize(table + 1, 0);
        return flags[table];
    }

    std::vector<std::unique_ptr<Table>>& tables_;  // the database's tables
    std::function<bool(std::string&)> wantWrite_;
    std::function<void()> committed_;
    Journal log_;
    std::string readOnly_;            // why changes are refused (empty: they are not)
    std::string broken_;              // an undo failed: changes refused until the database is opened again
    bool sync_ = true;
    bool open_ = false;               // a transaction is open (explicit or one statement's)
    bool explicit_ = false;           // opened by BEGIN
    bool inStatement_ = false;
    std::vector<Undo> undo_;
    std::vector<Start> txnStarts_, statementStarts_;
    std::vector<std::uint32_t> inTxn_, inStatementFlags_;  // per table: generation marks
    std::uint32_t txnGeneration_ = 1, statementGeneration_ = 1;
    Mark txnMark_, statementMark_;
};

}  // namespace qxhost
