// Database: opening, locking and the table list of one database (see Database.h).
#include "host/Database.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "host/IoUtil.h"
#include "host/SchemaSwitch.h"

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

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Alone in the database, after any schema switch was finished: removes the record and memo
// files no table names (left by a CREATE or DROP that was interrupted) and, when no log
// waits for recovery, rewrites the record files of an earlier format in the current one.
bool Tidy(const std::string& directory, std::string& error) {
    std::string analysisPath = directory + "/" + Analysis::kFileName, text;
    Analysis analysis;
    if (::access(analysisPath.c_str(), F_OK) != 0) return true;
    if (!IoUtil::ReadFile(analysisPath, text, error) || !analysis.Parse(text, analysisPath, error)) return false;
    if (DIR* dir = ::opendir(directory.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (!EndsWith(name, ".qxd") && !EndsWith(name, ".qxm")) continue;
            if (analysis.FindFile(name.substr(0, name.size() - 4)) < 0) ::unlink((directory + "/" + name).c_str());
        }
        ::closedir(dir);
    }
    struct stat st;
    std::string logPath = directory + "/" + Journal::kFileName;
    if (::stat(logPath.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_size) > Journal::kHeaderSize)
        return true;  // the log's frames place bytes in the files as they are
    std::vector<SchemaSwitch::Rename> renames;
    for (const FileDef& def : analysis.Files()) {
        std::string base = directory + "/" + def.name;
        RecordFile old;
        std::string ignored;
        if (RecordFile::VersionOf(base + ".qxd") != 1 || !old.Open(base + ".qxd", base + ".qxj", def, ignored) ||
            !old.Damage().empty())
            continue;
        std::vector<int> same;
        for (std::size_t i = 0; i < def.items.size(); ++i) same.push_back(static_cast<int>(i));
        if (!SchemaSwitch::WriteRecords(directory, old, def, def, same, error)) return false;
        renames.emplace_back(def.name + SchemaSwitch::kNewRecords, def.name + ".qxd");
    }
    return renames.empty() || SchemaSwitch::Commit(directory, text, renames, error);
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
    // A committed schema change may have moved the analysis aside: the switch file finishes it.
    std::string switchPath = path + "/" + SchemaSwitch::kSwitchName;
    if (!create && ::access(analysisPath.c_str(), F_OK) != 0 && ::access(switchPath.c_str(), F_OK) != 0) {
        error = "'" + path + "' is not a QX database (no " + Analysis::kFileName + ")";
        return nullptr;
    }
    std::unique_ptr<Database> db(new Database());
    db->directory_ = path;
    if (!db->lock_.Open(path, error)) return nullptr;
    // Alone in the database, the leftovers of a schema change that never committed go (with
    // another connection at work they may be its change in progress: they stay).
    if (db->lock_.Take(DatabaseLock::Level::kWrite, 0)) {
        bool recovered = SchemaSwitch::Recover(path, error) && Tidy(path, error);
        db->lock_.Release();
        if (!recovered) return nullptr;
    }
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
    // A switch file while nobody writes: a writer died inside a committed schema change.
    if (::access((directory_ + "/" + SchemaSwitch::kSwitchName).c_str(), F_OK) == 0) {
        if (!lock_.Take(Level::kWrite, busyTimeoutMs)) return busy();
        if (!SchemaSwitch::Recover(directory_, error)) {
            if (held == Level::kNone) lock_.Release();
            return QXHOST_STATUS_IO;
        }
        ++shared.changeCounter;
        lock_.Write(shared);
        if (level == Level::kRead) lock_.Take(Level::kRead, 0);
    }
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
    // A connection that cannot write, before a log a dead writer left: reads see the last
    // committed state, made in memory from the log.
    std::vector<std::vector<RecordFile::Patch>> patches;
    if (transaction_.ReadOnly() && !ReadCommittedState(patches, error)) return false;
    std::vector<std::unique_ptr<Table>> tables;
    for (const FileDef& def : next.Files()) {
        auto table = std::make_unique<Table>();
        std::size_t index = tables.size();
        if (!table->Open(directory_, def, false, error, index < patches.size() ? &patches[index] : nullptr))
            return false;
        table->Attach(&transaction_, static_cast<std::uint32_t>(tables.size()));
        tables.push_back(std::move(table));
    }
    if (next.Format() != analysis_.Format()) ++schemaGeneration_;
    analysis_ = std::move(next);
    tables_ = std::move(tables);  // the same vector object: the transaction keeps its reference
    cached_ = nullptr;
    lastWrittenTable = nullptr;
    lastWrittenRecord = 0;
    return true;
}

bool Database::ReadCommittedState(std::vector<std::vector<RecordFile::Patch>>& patches, std::string& error) {
    struct InMemory : Journal::Target {
        std::vector<std::vector<RecordFile::Patch>>& patches;
        explicit InMemory(std::vector<std::vector<RecordFile::Patch>>& out) : patches(out) {}
        std::vector<RecordFile::Patch>& Of(std::uint32_t table) {
            if (table >= patches.size()) patches.resize(table + 1);
            return patches[table];
        }
        bool Write(std::uint32_t table, std::uint64_t offset, const unsigned char* bytes, std::uint32_t length,
                   std::string&) override {
            Of(table).push_back(RecordFile::Patch{offset, std::vector<unsigned char>(bytes, bytes + length), false});
            return true;
        }
        bool Cut(std::uint32_t table, std::uint64_t size, std::uint64_t, std::string&) override {
            // Memos past the start size belong to records cut or given back their old bytes.
            Of(table).push_back(RecordFile::Patch{size, {}, true});
            return true;
        }
    } target(patches);
    Journal::Recovery recovery;
    return Journal::Replay(directory_, target, recovery, error);
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
    Publish();
    return true;
}

void Database::Publish() {
    ++schemaGeneration_;
    // Other connections read the analysis again at their next lock.
    DatabaseLock::Shared shared = lock_.Read();
    ++shared.changeCounter;
    shared.committedEnd = transaction_.Log().End();
    lock_.Write(shared);
    seenCounter_ = shared.changeCounter;
}

bool Database::BeginSchemaChange(std::string& error) {
    std::int16_t status = Acquire(DatabaseLock::Level::kWrite, error);
    if (status == QXHOST_STATUS_BUSY) error = "busy: " + error;
    return status == QXHOST_STATUS_OK && transaction_.PrepareSchemaChange(error);
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

bool Database::ReopenTable(std::size_t index, std::string& error) {
    cached_ = nullptr;
    lastWrittenTable = nullptr;
    auto table = std::make_unique<Table>();
    if (!table->Open(directory_, analysis_.Files().at(index), false, error)) return false;
    table->Attach(&transaction_, static_cast<std::uint32_t>(index));
    tables_.at(index) = std::move(table);
    return true;
}

bool Database::DropTable(std::size_t index, std::string& error) {
    if (!BeginSchemaChange(error)) return false;
    Analysis next = analysis_;
    std::string base = directory_ + "/" + next.Files().at(index).name;
    next.Files().erase(next.Files().begin() + static_cast<std::ptrdiff_t>(index));
    // The analysis first: a process stopped before the files go leaves only files no
    // table names, which a later CREATE TABLE of that name replaces.
    if (!SaveAnalysis(next, error)) return false;
    cached_ = nullptr;
    lastWrittenTable = nullptr;
    tables_.erase(tables_.begin() + static_cast<std::ptrdiff_t>(index));
    for (std::size_t t = index; t < tables_.size(); ++t) tables_[t]->Attach(&transaction_, static_cast<std::uint32_t>(t));
    for (const char* suffix : {".qxd", ".qxm"}) ::unlink((base + suffix).c_str());
    return true;
}

bool Database::RekeyTable(std::size_t index, const Analysis& next, std::string& error) {
    return BeginSchemaChange(error) && SaveAnalysis(next, error) && ReopenTable(index, error);
}

bool Database::RelayTable(std::size_t index, const Analysis& next, const std::vector<int>& source,
                          std::string& error) {
    if (!BeginSchemaChange(error) || !tables_.at(index)->Flush(error)) return false;
    const FileDef& oldDef = analysis_.Files().at(index);
    const FileDef& newDef = next.Files().at(index);
    if (!SchemaSwitch::WriteRecords(directory_, tables_.at(index)->Records(), oldDef, newDef, source, error))
        return false;
    std::string name = newDef.name;
    if (!SchemaSwitch::Commit(directory_, next.Format(),
                              {{name + SchemaSwitch::kNewRecords, name + ".qxd"}},
                              error))
        return false;
    analysis_ = next;
    Publish();
    return ReopenTable(index, error);
}

bool Database::RenameTable(std::size_t index, const Analysis& next, std::string& error) {
    if (!BeginSchemaChange(error) || !tables_.at(index)->Flush(error)) return false;
    std::string from = analysis_.Files().at(index).name, to = next.Files().at(index).name;
    std::vector<SchemaSwitch::Rename> renames;
    for (const char* suffix : {".qxd", ".qxm"})
        if (::access((directory_ + "/" + from + suffix).c_str(), F_OK) == 0)
            renames.emplace_back(from + suffix, to + suffix);
    if (!SchemaSwitch::Commit(directory_, next.Format(), renames, error)) return false;
    analysis_ = next;
    Publish();
    return ReopenTable(index, error);
}

}  // namespace qxhost

namespace qxhost {

std::int16_t Database::Check(std::vector<std::string>& problems, std::string& error) {
    bool held = lock_.Held() != DatabaseLock::Level::kNone;
    std::int16_t status = Acquire(DatabaseLock::Level::kRead, error);
    if (status != QXHOST_STATUS_OK) return status;
    for (const auto& table : tables_) table->Check(problems);
    // Files no table names: what an interrupted CREATE or DROP left beside another connection.
    if (DIR* dir = ::opendir(directory_.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if ((EndsWith(name, ".qxd") || EndsWith(name, ".qxm")) &&
                analysis_.FindFile(name.substr(0, name.size() - 4)) < 0)
                problems.push_back("file " + name + " belongs to no table of the analysis");
        }
        ::closedir(dir);
    }
    if (!held) lock_.Release();
    return QXHOST_STATUS_OK;
}

bool Database::Vacuum(std::string& error) {
    bool ok = BeginSchemaChange(error);
    std::vector<SchemaSwitch::Rename> renames;
    for (std::size_t t = 0; ok && t < tables_.size(); ++t) {
        const Table& table = *tables_[t];
        const std::string& name = table.Def().name;
        if (table.Damaged()) {
            std::vector<std::string> problems;
            table.Check(problems);
            error = "cannot compact: " + (problems.empty() ? name : problems.front());
            ok = false;
        } else {
            ok = tables_[t]->Flush(error) && SchemaSwitch::WriteCompacted(directory_, table, error);
        }
        renames.emplace_back(name + SchemaSwitch::kNewRecords, name + ".qxd");
        if (!table.MemoItems().empty()) renames.emplace_back(name + SchemaSwitch::kNewMemos, name + ".qxm");
    }
    if (ok) {
        ok = SchemaSwitch::Commit(directory_, analysis_.Format(), renames, error);
    } else {
        for (const SchemaSwitch::Rename& r : renames) ::unlink((directory_ + "/" + r.first).c_str());
    }
    if (ok) {
        Publish();
        ok = LoadTables(error);
    }
    if (!transaction_.InStatement() && !transaction_.InTransaction()) lock_.Release();
    return ok;
}

}  // namespace qxhost
