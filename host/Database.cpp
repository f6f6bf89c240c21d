// Database: opening, locking and the table list of one database (see Database.h).
#include "host/Database.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

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
    transaction_.Finish();
    tables_.clear();
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the flock
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
    std::string lockPath = path + "/" + kLockName;
    db->lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (db->lockFd_ < 0) {
        error = IoUtil::ErrnoText("cannot open the lock file", lockPath);
        return nullptr;
    }
    if (::flock(db->lockFd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            error = "database '" + path + "' is already open for writing (by another process or session)";
        else
            error = IoUtil::ErrnoText("cannot lock", lockPath);
        return nullptr;
    }
    if (::access(analysisPath.c_str(), F_OK) != 0 &&
        !IoUtil::ReplaceFile(analysisPath, "ANALYSIS 1\n", true, error))
        return nullptr;
    std::string text;
    if (!IoUtil::ReadFile(analysisPath, text, error)) return nullptr;
    if (!db->analysis_.Parse(text, analysisPath, error)) return nullptr;
    std::vector<std::string> bases;
    for (const FileDef& def : db->analysis_.Files()) bases.push_back(path + "/" + def.name);
    Journal::Recovery recovery;
    if (!Journal::Recover(path, bases, recovery, error)) return nullptr;
    for (const FileDef& def : db->analysis_.Files()) {
        auto table = std::make_unique<Table>();
        if (!table->Open(path, def, false, error)) return nullptr;
        table->Attach(&db->transaction_, static_cast<std::uint32_t>(db->tables_.size()));
        db->tables_.push_back(std::move(table));
    }
    std::string logError;
    // Without a log (a full disk, a read-only directory) the database is still read.
    if (!db->transaction_.Log().Open(path, logError)) db->transaction_.SetReadOnly(logError);
    return db;
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
