// Transaction: boundaries, commit, undo and checkpoint (see Transaction.h).
#include "host/Transaction.h"

#include "host/Table.h"
#include "qxhost.h"

namespace qxhost {

std::int16_t Transaction::Apply(Step step, std::string& error) {
    switch (step) {
        case Step::kBeginStatement:
        case Step::kBeginWritingStatement:
            if (inStatement_) {
                error = "a statement is already running";
                return QXHOST_STATUS_REQUEST;
            }
            if (!open_ && !Begin(false, error)) return QXHOST_STATUS_IO;
            statementMark_ = Mark{undo_.size(), txnStarts_.size(), log_.End()};
            statementStarts_.clear();
            ++statementGeneration_;
            inStatement_ = true;
            return QXHOST_STATUS_OK;
        case Step::kEndStatement:
            if (!inStatement_) return QXHOST_STATUS_OK;
            inStatement_ = false;
            if (!explicit_ && !Commit(error)) return QXHOST_STATUS_IO;
            return QXHOST_STATUS_OK;
        case Step::kUndoStatement: {
            if (!inStatement_) return QXHOST_STATUS_OK;
            inStatement_ = false;
            bool undone = UndoTo(true, error);
            if (!explicit_) Close();
            return undone ? QXHOST_STATUS_OK : QXHOST_STATUS_IO;
        }
        case Step::kBegin:
            if (explicit_) {
                error = "a transaction is already open";
                return QXHOST_STATUS_NESTED;
            }
            if (inStatement_) {
                error = "a statement is running";
                return QXHOST_STATUS_REQUEST;
            }
            if (!Begin(true, error)) return QXHOST_STATUS_IO;
            explicit_ = true;
            return QXHOST_STATUS_OK;
        case Step::kCommit:
        case Step::kRollback: {
            if (!explicit_) {
                error = "no transaction is open";
                return QXHOST_STATUS_NO_TRANSACTION;
            }
            if (inStatement_) {
                error = "a statement is running";
                return QXHOST_STATUS_REQUEST;
            }
            explicit_ = false;
            bool done = step == Step::kCommit ? Commit(error) : UndoTo(false, error);
            Close();
            return done ? QXHOST_STATUS_OK : QXHOST_STATUS_IO;
        }
    }
    error = "unknown transaction step";
    return QXHOST_STATUS_REQUEST;
}

bool Transaction::Begin(bool explicitly, std::string& error) {
    if (!broken_.empty()) {
        error = broken_;
        return false;
    }
    open_ = true;
    explicit_ = explicitly;
    txnMark_ = Mark{0, 0, log_.End()};
    undo_.clear();
    txnStarts_.clear();
    ++txnGeneration_;
    return true;
}

void Transaction::Close() {
    open_ = false;
    explicit_ = false;
    undo_.clear();
    txnStarts_.clear();
    statementStarts_.clear();
    ++txnGeneration_;
    ++statementGeneration_;
}

bool Transaction::Commit(std::string& error) {
    if (log_.End() > txnMark_.logEnd) {
        // New records reach the file (a full disk fails the commit here), and memos, which
        // are not in the log, reach the disk before the commit frame does.
        bool done = true;
        for (const Start& start : txnStarts_) {
            if (done) done = tables_[start.table]->Flush(error);
            if (done && sync_ && start.memoEnd != 0) done = tables_[start.table]->SyncMemos(error);
        }
        if (!done || !log_.Commit(error)) {
            std::string ignored;
            UndoTo(false, ignored);
            Close();
            return false;
        }
    }
    bool changed = log_.End() > txnMark_.logEnd;
    for (const Start& start : txnStarts_) tables_[start.table]->Committed();
    Close();
    if (log_.End() > Journal::kCheckpointBytes) {
        std::string ignored;  // the transaction is committed; the log just stays longer
        Checkpoint(ignored);
    }
    if (changed && committed_) committed_();
    return true;
}

bool Transaction::Checkpoint(std::string& error) {
    // Every file: the log may hold other connections' commits too.
    for (std::size_t t = 0; sync_ && t < tables_.size(); ++t)
        if (!tables_[t]->Sync(error)) return false;
    // The sizes reached the disk: the headers note them as floors (a shorter file is damaged).
    for (std::size_t t = 0; t < tables_.size(); ++t)
        if (!tables_[t]->NoteSizes(error)) return false;
    if (!log_.Reset(error)) return false;
    return true;
}

bool Transaction::PrepareSchemaChange(std::string& error) {
    if (explicit_) {
        error = "not inside a transaction (COMMIT or ROLLBACK first)";
        return false;
    }
    if (!readOnly_.empty()) {
        error = readOnly_;
        return false;
    }
    return Checkpoint(error);
}

void Transaction::Finish(bool checkpoint) {
    std::string ignored;
    if (open_) UndoTo(false, ignored);
    Close();
    inStatement_ = false;
    if (checkpoint && broken_.empty() && readOnly_.empty()) Checkpoint(ignored);
}

bool Transaction::Touch(std::uint32_t table, std::uint32_t count, std::uint64_t dataSize, std::uint64_t memoEnd,
                        std::string& error) {
    if (!readOnly_.empty() || !broken_.empty() || !open_) {
        error = !readOnly_.empty() ? readOnly_ : !broken_.empty() ? broken_ : "a change outside any transaction";
        return false;
    }
    if (wantWrite_ && !wantWrite_(error)) return false;
    if (Flag(inTxn_, table) != txnGeneration_) {
        if (!log_.Append(Journal::FrameType::kStart, table, dataSize, nullptr, 0, nullptr, 0, memoEnd, true, nullptr,
                         error))
            return false;
        inTxn_[table] = txnGeneration_;
        txnStarts_.push_back(Start{table, count, memoEnd});
    }
    if (Flag(inStatementFlags_, table) != statementGeneration_) {
        inStatementFlags_[table] = statementGeneration_;
        statementStarts_.push_back(Start{table, count, memoEnd});
    }
    return true;
}

bool Transaction::LogWrite(std::uint32_t table, std::uint32_t record, std::uint32_t offsetInRecord,
                           std::uint64_t fileOffset, const unsigned char* before, const unsigned char* after,
                           std::uint32_t length, std::string& error) {
    if (before == nullptr)  // a new record: cutting the file undoes it, so the frame may wait
        return log_.Append(Journal::FrameType::kWrite, table, fileOffset, nullptr, 0, after, length, 0, false,
                           nullptr, error);
    std::uint64_t beforeAt = 0;
    if (!log_.Append(Journal::FrameType::kWrite, table, fileOffset, before, length, after, length, 0, true, &beforeAt,
                     error))
        return false;
    undo_.push_back(Undo{table, record, offsetInRecord, length, beforeAt});
    return true;
}

bool Transaction::UndoTo(bool statement, std::string& error) {
    const Mark& mark = statement ? statementMark_ : txnMark_;
    std::vector<unsigned char> bytes;
    bool done = true;
    for (std::size_t i = undo_.size(); done && i > mark.undo; --i) {
        const Undo& u = undo_[i - 1];
        bytes.resize(u.length);
        if (!log_.ReadBytes(u.beforeAt, bytes.data(), u.length)) {
            error = "cannot read the log";
            done = false;
        } else {
            done = tables_[u.table]->Restore(u.record, u.offsetInRecord, bytes.data(), u.length, error);
        }
    }
    for (const Start& start : statement ? statementStarts_ : txnStarts_) {
        tables_[start.table]->Undone();
        if (done) done = tables_[start.table]->CutTo(start.count, start.memoEnd, error);
    }
    if (done) done = log_.CutTo(mark.logEnd, error);
    if (!done) {
        // The files are part undone: the log, left whole, finishes the undo at the next open.
        broken_ = "the database must be opened again: " + error;
        return false;
    }
    undo_.resize(mark.undo);
    if (statement) {
        for (std::size_t i = mark.starts; i < txnStarts_.size(); ++i) inTxn_[txnStarts_[i].table] = 0;
        txnStarts_.resize(mark.starts);
        statementStarts_.clear();
        ++statementGeneration_;
    }
    return true;
}

}  // namespace qxhost
