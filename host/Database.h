// Database: one open database directory: its lock, analysis and tables.
//
// A database is a directory holding analysis.qxa, qx.log (the Journal of
// changes), qx.lock (the DatabaseLock), and per file <NAME>.qxd (records)
// and <NAME>.qxm (memos, for files with memo items).  Any number of
// connections (processes, or threads each with its own) may have it open:
// each statement or transaction holds the lock, shared to read and
// exclusive to write, and a connection reloads its tables when another one
// has committed since it last held the lock.
// The Database owns its tables; it is owned by the DatabaseRegistry under
// its context number.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/Analysis.h"
#include "host/DatabaseLock.h"
#include "host/SchemaEditor.h"
#include "host/Table.h"
#include "host/Transaction.h"

namespace qxhost {

class Database {
public:
    // Opens the database in `path` (create: makes the directory and an empty analysis when
    // missing).  Null with a message in `error` on failure.
    static std::unique_ptr<Database> Open(const std::string& path, bool create, std::string& error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const Analysis& GetAnalysis() const { return analysis_; }
    std::size_t TableCount() const { return tables_.size(); }
    Table* TableAt(std::size_t index) { return index < tables_.size() ? tables_[index].get() : nullptr; }
    // Between statements: reloads the tables when another connection has committed (or
    // created a file) since this one last held the lock.
    void Refresh() {
        std::string ignored;
        if (lock_.Held() == DatabaseLock::Level::kNone && Acquire(DatabaseLock::Level::kRead, ignored) == 0)
            lock_.Release();
    }
    // The table named `name` as the engine passes it (at most 8 bytes significant), or null.
    Table* FindTable(const char* name) {
        if (cached_ && name && std::strncmp(name, cachedName_, sizeof cachedName_) == 0) return cached_;
        return LookUp(name);
    }

    // Makes the files of a new table and adds it to the analysis.
    bool CreateTable(const FileDef& def, std::string& error);
    // Writes `next` as the analysis file and makes it the analysis.
    bool SaveAnalysis(const Analysis& next, std::string& error);
    // Removes table `index` from the analysis, then its files.
    bool DropTable(std::size_t index, std::string& error);
    // Saves `next` (same files, table `index` with other keys) and reopens that table.
    bool RekeyTable(std::size_t index, const Analysis& next, std::string& error);
    // Rewrites the records of table `index` in its layout of `next` (`source` as in
    // SchemaSwitch::WriteRecords) and switches to them and to `next` together.
    bool RelayTable(std::size_t index, const Analysis& next, const std::vector<int>& source, std::string& error);
    // Renames table `index` (its files with it) as `next` names it.
    bool RenameTable(std::size_t index, const Analysis& next, std::string& error);

    // Appends a line for every problem found in the database's files to `problems`.  A
    // status of qxhost.h (busy, or the tables cannot be loaded, with `error`).
    std::int16_t Check(std::vector<std::string>& problems, std::string& error);
    // Rewrites every table to its live records and memos (renumbered), crash-safe: all
    // tables switch together.  Refused inside a transaction and on a damaged table.
    bool Vacuum(std::string& error);

    SchemaEditor& Schema() { return schema_; }
    // Counts the changes of the analysis (tables, items, keys) this connection has made or
    // loaded: a statement compiled at one count is compiled again at another.
    std::int32_t SchemaGeneration() const { return static_cast<std::int32_t>(schemaGeneration_ & 0x7FFFFFFF); }
    Transaction& Changes() { return transaction_; }
    // Applies a boundary after taking the lock it needs (a statement that changes records
    // takes the exclusive lock); the lock goes once no statement or transaction is open.
    // A status of qxhost.h.
    std::int16_t Step(Transaction::Step step, std::string& error);
    // The record whose memos OECRIREMEMO writes: set by a successful add or rewrite.
    Table* lastWrittenTable = nullptr;
    std::uint32_t lastWrittenRecord = 0;
    std::uint32_t changeCount = 0;  // records added, rewritten or deleted since open
    long busyTimeoutMs = 5000;      // how long a statement waits for another connection's lock
    // Holds the memo last delivered by OGETMEMO, until the next OGETMEMO call.
    std::vector<unsigned char> memoBuffer;
    // What went wrong in the last callback that failed.
    std::string lastError;

private:
    Database() = default;
    Table* LookUp(const char* name);
    // Reopens table `index` from the analysis and forgets every cached table.
    bool ReopenTable(std::size_t index, std::string& error);
    // Tells the other connections that the analysis or the files changed (they reload).
    void Publish();
    // Before a change of a table's layout, name or existence: takes the exclusive lock and
    // empties the log (refused inside BEGIN ... COMMIT).
    bool BeginSchemaChange(std::string& error);
    // Takes the lock at `level` (at least), recovers a log left by a dead writer and reloads
    // the tables when another connection committed meanwhile.  A status of qxhost.h.
    std::int16_t Acquire(DatabaseLock::Level level, std::string& error);
    // Reads the analysis and opens every table again.
    bool LoadTables(std::string& error);
    // What recovery of the log would write, per table, for a connection that cannot write.
    bool ReadCommittedState(std::vector<std::vector<RecordFile::Patch>>& patches, std::string& error);

    std::string directory_;
    DatabaseLock lock_;
    std::uint64_t seenCounter_ = ~std::uint64_t(0);  // the change counter when the tables were loaded
    std::uint32_t schemaGeneration_ = 0;             // +1 at each change of the analysis this connection sees
    Analysis analysis_;
    std::vector<std::unique_ptr<Table>> tables_;   // in analysis order, owned
    Transaction transaction_{tables_};             // boundaries and undo of the changes
    SchemaEditor schema_;
    Table* cached_ = nullptr;                      // last table found by name
    char cachedName_[9] = {};
};

}  // namespace qxhost
