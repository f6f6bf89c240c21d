// Database: one open database directory: its lock, analysis and tables.
//
// A database is a directory holding analysis.qxa, and per file <NAME>.qxd
// (records), <NAME>.qxj (journal) and <NAME>.qxm (memos, for files with
// memo items).  qx.lock is held with flock() while the database is open,
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
    // Removes table `index` from the analysis, then its files.
    bool DropTable(std::size_t index, std::string& error);
    // Saves `next` (same files, table `index` with other keys) and reopens that table.
    bool RekeyTable(std::size_t index, const Analysis& next, std::string& error);
    // Rewrites the records of table `index` in its layout of `next` (`source` as in
    // SchemaSwitch::WriteRecords) and switches to them and to `next` together.
    bool RelayTable(std::size_t index, const Analysis& next, const std::vector<int>& source, std::string& error);
    // Renames table `index` (its files with it) as `next` names it.
    bool RenameTable(std::size_t index, const Analysis& next, std::string& error);

    SchemaEditor& Schema() { return schema_; }
    // The record whose memos OECRIREMEMO writes: set by a successful add or rewrite.
    Table* lastWrittenTable = nullptr;
    std::uint32_t lastWrittenRecord = 0;
    std::uint32_t changeCount = 0;  // records added, rewritten or deleted since open
    // Holds the memo last delivered by OGETMEMO, until the next OGETMEMO call.
    std::vector<unsigned char> memoBuffer;

private:
    Database() = default;
    Table* LookUp(const char* name);
    // Reopens table `index` from the analysis and forgets every cached table.
    bool ReopenTable(std::size_t index, std::string& error);

    std::string directory_;
    int lockFd_ = -1;                              // qx.lock, flock()ed, owned
    Analysis analysis_;
    std::vector<std::unique_ptr<Table>> tables_;   // in analysis order, owned
    SchemaEditor schema_;
    Table* cached_ = nullptr;                      // last table found by name
    char cachedName_[9] = {};
};

}  // namespace qxhost
