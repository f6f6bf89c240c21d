// IoUtil: POSIX read/write helpers (see IoUtil.h).
#include "host/IoUtil.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qxhost::IoUtil {

bool WriteAt(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

long long ReadAt(int fd, void* data, std::size_t size, std::uint64_t offset) {
    auto* p = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::pread(fd, p + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(done);
}

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}

bool ReplaceFile(const std::string& path, const std::string& contents, bool sync, std::string& error) {
    std::string temp = path + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = ErrnoText("cannot create", temp);
        return false;
    }
    bool ok = WriteAt(fd, contents.data(), contents.size(), 0) && (!sync || ::fsync(fd) == 0);
    if (!ok) error = ErrnoText("cannot write", temp);
    ::close(fd);
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        error = ErrnoText("cannot rename to", path);
        ok = false;
    }
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool ReadFile(const std::string& path, std::string& contents, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoText("cannot open", path);
        return false;
    }
    contents.clear();
    char buffer[65536];
    std::uint64_t offset = 0;
    for (;;) {
        long long n = ReadAt(fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            error = ErrnoText("cannot read", path);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        contents.append(buffer, static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    return true;
}

}  // namespace qxhost::IoUtil
