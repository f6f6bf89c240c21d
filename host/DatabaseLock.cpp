// DatabaseLock: open file description locks on qx.lock (see DatabaseLock.h).
#include "host/DatabaseLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "host/IoUtil.h"

namespace qxhost {

DatabaseLock::~DatabaseLock() {
    if (fd_ >= 0) ::close(fd_);  // releases the lock
}

bool DatabaseLock::Open(const std::string& directory, std::string& error) {
    std::string path = directory + "/" + kFileName;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && (errno == EROFS || errno == EACCES)) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 && errno == ENOENT) return true;  // nobody can write there: nothing to lock
    }
    if (fd_ < 0) {
        error = IoUtil::ErrnoText("cannot open the lock file", path);
        return false;
    }
    return true;
}

bool DatabaseLock::TryOnce(Level level) {
    if (fd_ < 0) return true;
    struct flock request {};
    request.l_type = level == Level::kWrite ? F_WRLCK : level == Level::kRead ? F_RDLCK : F_UNLCK;
    request.l_whence = SEEK_SET;
    return ::fcntl(fd_, F_OFD_SETLK, &request) == 0;
}

bool DatabaseLock::Take(Level level, long timeoutMs) {
    if (level == held_) return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::microseconds(100);
    while (!TryOnce(level)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(5)) pause *= 2;
    }
    held_ = level;
    return true;
}

void DatabaseLock::Release() {
    TryOnce(Level::kNone);
    held_ = Level::kNone;
}

DatabaseLock::Shared DatabaseLock::Read() const {
    Shared shared;
    unsigned char bytes[16] = {};
    if (fd_ >= 0 && IoUtil::ReadAt(fd_, bytes, sizeof bytes, 0) == static_cast<long long>(sizeof bytes)) {
        std::memcpy(&shared.changeCounter, bytes, 8);
        std::memcpy(&shared.committedEnd, bytes + 8, 8);
    }
    return shared;
}

void DatabaseLock::Write(const Shared& shared) {
    unsigned char bytes[16];
    std::memcpy(bytes, &shared.changeCounter, 8);
    std::memcpy(bytes + 8, &shared.committedEnd, 8);
    // Best effort: a lost update only makes the next connection reload or recover.
    if (fd_ >= 0) IoUtil::WriteAt(fd_, bytes, sizeof bytes, 0);
}

}  // namespace qxhost
