// Database: one open database directory: its lock, analysis and tables.
//
// A database is a directory holding analysis.qxa, qx.log (the Journal of
// changes), and per file <NAME>.qxd (records) and <NAME>.qxm (memos, for
// files with memo items).  qx.lock is held with flock() while the database is open,
// so a second opener (another process, or the same one) is refused.
// The Database owns its tables; it is owned by the DatabaseRegistry under
// its context number.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/Analysis.h"
#include "host/SchemaEditor.h"
#include "host/Table.h"
#include "host/Transaction.h"

namespace qxhost {

class Database {
public:
    static constexpr const char* kLockName = "qx.lock";

    // Opens the database in `path` (create: makes the directory and an empty analysis when
    // missing).  Null with a message in `error` on failure.
    static std::unique_ptr<Database> Open(const std::string& path, bool create, std::string& error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const Analysis& GetAnalysis() const { return analysis_; }
    std::size_t TableCount() const { return tables_.size(); }
    Table* TableAt(std::size_t index) { return index < tables_.size() ? tables_[index].get() : nullptr; }
    // The table named `name` as the engine passes it (at most 8 bytes significant), or null.
    Table* FindTable(const char* name) {
        if (cached_ && name && std::strncmp(name, cachedName_, sizeof cachedName_) == 0) return cached_;
        return LookUp(name);
    }

    // Makes the files of a new table and adds it to the analysis.
    bool CreateTable(const FileDef& def, std::string& error);
    // Writes `next` as the analysis file and makes it the analysis.
    bool SaveAnalysis(const Analysis& next, std::string& error);

    SchemaEditor& Schema() { return schema_; }
    Transaction& Changes() { return transaction_; }
    // The record whose memos OECRIREMEMO writes: set by a successful add or rewrite.
    Table* lastWrittenTable = nullptr;
    std::uint32_t lastWrittenRecord = 0;
    std::uint32_t changeCount = 0;  // records added, rewritten or deleted since open
    long busyTimeoutMs = 5000;      // how long a statement waits for another connection's lock
    // Holds the memo last delivered by OGETMEMO, until the next OGETMEMO call.
    std::vector<unsigned char> memoBuffer;

private:
    Database() = default;
    Table* LookUp(const char* name);

    std::string directory_;
    int lockFd_ = -1;                              // qx.lock, flock()ed, owned
    Analysis analysis_;
    std::vector<std::unique_ptr<Table>> tables_;   // in analysis order, owned
    Transaction transaction_{tables_};             // boundaries and undo of the changes
    SchemaEditor schema_;
    Table* cached_ = nullptr;                      // last table found by name
    char cachedName_[9] = {};
};

}  // namespace qxhost
