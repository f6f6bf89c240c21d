// IoUtil: whole-buffer reads and writes over POSIX descriptors, and small
// file helpers shared by the file engine's modules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qxhost::IoUtil {

// Writes all `size` bytes at `offset`, retrying short writes and EINTR.
bool WriteAt(int fd, const void* data, std::size_t size, std::uint64_t offset);
// Reads up to `size` bytes at `offset`; returns the count read (less at end of file), -1 on error.
long long ReadAt(int fd, void* data, std::size_t size, std::uint64_t offset);
// Writes `contents` to `path` through a temporary file and a rename, so that readers see
// the old or the new file whole.  `sync` also flushes the data to the disk first.
bool ReplaceFile(const std::string& path, const std::string& contents, bool sync, std::string& error);
// Reads a whole file; false with a message when it cannot.
bool ReadFile(const std::string& path, std::string& contents, std::string& error);
// "<what> '<path>': <strerror(errno)>"
std::string ErrnoText(const std::string& what, const std::string& path);

}  // namespace qxhost::IoUtil
