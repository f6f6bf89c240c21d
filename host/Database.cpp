// Database: opening, locking and the table list of one database (see Database.h).
#include "host/Database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "host/IoUtil.h"

namespace qxhost {
namespace {

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p
bool MakeDirectories(const std::string& path, std::string& error) {
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        std::string part = path.substr(0, i);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = IoUtil::ErrnoText("cannot create directory", part);
            return false;
        }
    }
    if (!IsDirectory(path)) {
        error = "'" + path + "' is not a directory";
        return false;
    }
    return true;
}

}  // namespace

Database::~Database() {
    // The log is emptied when no other connection is at work (its frames are then all
    // committed, once a hot log has been recovered).
    std::string ignored;
    long timeout = busyTimeoutMs;
    busyTimeoutMs = 0;
    bool checkpoint = Acquire(DatabaseLock::Level::kWrite, ignored) == QXHOST_STATUS_OK;
    transaction_.Finish(checkpoint);
    busyTimeoutMs = timeout;
    if (checkpoint) {
        DatabaseLock::Shared shared = lock_.Read();
        shared.committedEnd = transaction_.Log().End();
        lock_.Write(shared);
    }
    tables_.clear();
    lock_.Release();
}

std::unique_ptr<Database> Database::Open(const std::string& path, bool create, std::string& error) {
    if (path.empty()) {
        error = "no database directory given";
        return nullptr;
    }
    std::string analysisPath = path + "/" + Analysis::kFileName;
    if (!IsDirectory(path)) {
        if (!create) {
            error = "no database directory '" + path + "'";
            return nullptr;
        }
        if (!MakeDirectories(path, error)) return nullptr;
    }
    if (!create && ::access(analysisPath.c_str(), F_OK) != 0) {
        error = "'" + path + "' is not a QX database (no " + Analysis::kFileName + ")";
        return nullptr;
    }
    std::unique_ptr<Database> db(new Database());
    db->directory_ = path;
    if (!db->lock_.Open(path, error)) return nullptr;
    if (::access(analysisPath.c_str(), F_OK) != 0 &&
        !IoUtil::ReplaceFile(analysisPath, "ANALYSIS 1\n", true, error))
        return nullptr;
    std::string logError;
    // Without a log (a read-only directory) the database is still read.
    if (!db->transaction_.Log().Open(path, logError)) db->transaction_.SetReadOnly(logError);
    Database* self = db.get();
    db->transaction_.SetHooks(
        [self](std::string& why) {
            std::int16_t status = self->Acquire(DatabaseLock::Level::kWrite, why);
            if (status == QXHOST_STATUS_BUSY) why = "busy: " + why;
            return status == QXHOST_STATUS_OK;
        },
        [self] {
            DatabaseLock::Shared shared = self->lock_.Read();
            ++shared.changeCounter;
            shared.committedEnd = self->transaction_.Log().End();
            self->lock_.Write(shared);
            self->seenCounter_ = shared.changeCounter;
        });
    // The tables are read under the shared lock, after any recovery.
    if (db->Acquire(DatabaseLock::Level::kRead, error) != QXHOST_STATUS_OK) return nullptr;
    db->lock_.Release();
    return db;
}

std::int16_t Database::Acquire(DatabaseLock::Level level, std::string& error) {
    using Level = DatabaseLock::Level;
    const Level held = lock_.Held();
    if (held == Level::kWrite || held == level) return QXHOST_STATUS_OK;
    if (level == Level::kWrite && transaction_.ReadOnly()) {
        error = "the database can only be read";
        return QXHOST_STATUS_IO;
    }
    auto busy = [&] {
        if (held == Level::kNone) lock_.Release();
        error = "database '" + directory_ + "' is busy: another connection held it for " +
                std::to_string(busyTimeoutMs) + " ms";
        return QXHOST_STATUS_BUSY;
    };
    if (!lock_.Take(level, busyTimeoutMs)) return busy();
    DatabaseLock::Shared shared = lock_.Read();
    Journal& log = transaction_.Log();
    // A log longer than its committed part while nobody writes: a writer died in a transaction.
    if (log.IsOpen() && log.FileSize() > std::max<std::uint64_t>(shared.committedEnd, Journal::kHeaderSize)) {
        if (!lock_.Take(Level::kWrite, busyTimeoutMs)) return busy();
        std::vector<std::string> bases;
        std::string text;
        Analysis analysis;
        std::string analysisPath = directory_ + "/" + Analysis::kFileName;
        if (!IoUtil::ReadFile(analysisPath, text, error) || !analysis.Parse(text, analysisPath, error)) {
            if (held == Level::kNone) lock_.Release();
            return QXHOST_STATUS_IO;
        }
        for (const FileDef& def : analysis.Files()) bases.push_back(directory_ + "/" + def.name);
        Journal::Recovery recovery;
        if (!Journal::Recover(directory_, bases, recovery, error)) {
            if (held == Level::kNone) lock_.Release();
            return QXHOST_STATUS_IO;
        }
        ++shared.changeCounter;
        shared.committedEnd = 0;
        lock_.Write(shared);
        if (level == Level::kRead) lock_.Take(Level::kRead, 0);
    }
    if (shared.changeCounter != seenCounter_) {
        if (!LoadTables(error)) {
            if (held == Level::kNone) lock_.Release();
            return QXHOST_STATUS_IO;
        }
        seenCounter_ = shared.changeCounter;
    }
    if (lock_.Held() == Level::kWrite && log.IsOpen()) {
        if (!log.Attach(error)) {
            if (held == Level::kNone) lock_.Release();
            return QXHOST_STATUS_IO;
        }
        shared.committedEnd = log.End();
        lock_.Write(shared);
    }
    return QXHOST_STATUS_OK;
}

bool Database::LoadTables(std::string& error) {
    std::string analysisPath = directory_ + "/" + Analysis::kFileName;
    std::string text;
    Analysis next;
    if (!IoUtil::ReadFile(analysisPath, text, error) || !next.Parse(text, analysisPath, error)) return false;
    std::vector<std::unique_ptr<Table>> tables;
    for (const FileDef& def : next.Files()) {
        auto table = std::make_unique<Table>();
        if (!table->Open(directory_, def, false, error)) return false;
        table->Attach(&transaction_, static_cast<std::uint32_t>(tables.size()));
        tables.push_back(std::move(table));
    }
    analysis_ = std::move(next);
    tables_ = std::move(tables);  // the same vector object: the transaction keeps its reference
    cached_ = nullptr;
    lastWrittenTable = nullptr;
    lastWrittenRecord = 0;
    return true;
}

std::int16_t Database::Step(Transaction::Step step, std::string& error) {
    if (step == Transaction::Step::kBeginStatement || step == Transaction::Step::kBeginWritingStatement) {
        // Without a log its writes fail one by one, as writes the file system refuses.
        bool writes = step == Transaction::Step::kBeginWritingStatement && !transaction_.ReadOnly();
        std::int16_t status = Acquire(writes ? DatabaseLock::Level::kWrite : DatabaseLock::Level::kRead, error);
        if (status != QXHOST_STATUS_OK) return status;
    }
    std::int16_t status = transaction_.Apply(step, error);
    if (!transaction_.InStatement() && !transaction_.InTransaction()) lock_.Release();
    return status;
}

Table* Database::LookUp(const char* name) {
    if (!name) return nullptr;
    std::size_t length = ::strnlen(name, sizeof cachedName_);
    if (length == 0 || length >= sizeof cachedName_) return nullptr;
    int index = analysis_.FindFile(std::string(name, length));
    if (index < 0) return nullptr;
    cached_ = tables_[static_cast<std::size_t>(index)].get();
    std::memset(cachedName_, 0, sizeof cachedName_);
    std::memcpy(cachedName_, name, length);
    return cached_;
}

bool Database::SaveAnalysis(const Analysis& next, std::string& error) {
    if (!IoUtil::ReplaceFile(directory_ + "/" + Analysis::kFileName, next.Format(), true, error)) return false;
    analysis_ = next;
    // Other connections read the analysis again at their next lock.
    DatabaseLock::Shared shared = lock_.Read();
    ++shared.changeCounter;
    lock_.Write(shared);
    seenCounter_ = shared.changeCounter;
    return true;
}

bool Database::CreateTable(const FileDef& def, std::string& error) {
    auto table = std::make_unique<Table>();
    if (!table->Open(directory_, def, true, error)) return false;
    Analysis next = analysis_;
    next.Files().push_back(def);
    if (!SaveAnalysis(next, error)) return false;
    table->Attach(&transaction_, static_cast<std::uint32_t>(tables_.size()));
    tables_.push_back(std::move(table));
    return true;
}

}  // namespace qxhost
