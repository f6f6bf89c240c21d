// SchemaSwitch: the committed switch of a table's files (see SchemaSwitch.h).
#include "host/SchemaSwitch.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/Analysis.h"
#include "host/IoUtil.h"
#include "host/RecordFile.h"

namespace qxhost {
namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    std::size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Flushes the directory entries (the renames) to the disk.
void SyncDirectory(const std::string& directory) {
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool SchemaSwitch::WriteRecords(const std::string& directory, const RecordFile& from, const FileDef& oldDef,
                                const FileDef& newDef, const std::vector<int>& source, std::string& error) {
    std::string base = directory + "/" + newDef.name;
    std::string dataPath = base + kNewRecords;
    if (!RecordFile::Create(dataPath, base + kNewJournal, newDef.recordSize, error)) return false;
    int fd = ::open(dataPath.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = IoUtil::ErrnoText("cannot open", dataPath);
        return false;
    }
    constexpr std::size_t kChunk = 1 << 20;  // bytes written per call
    std::vector<unsigned char> buffer;
    buffer.reserve(kChunk + newDef.recordSize);
    std::uint64_t offset = RecordFile::kHeaderSize;
    bool ok = true;
    for (std::uint32_t n = 1; ok && n <= from.Count(); ++n) {
        const unsigned char* in = from.Record(n);
        std::size_t at = buffer.size();
        buffer.resize(at + newDef.recordSize, 0);
        buffer[at] = in[0];
        for (std::size_t i = 0; i < newDef.items.size(); ++i) {
            if (source[i] < 0) continue;
            const ItemDef& was = oldDef.items[static_cast<std::size_t>(source[i])];
            std::memcpy(&buffer[at + newDef.items[i].offset], in + was.offset, was.Bytes());
        }
        if (buffer.size() >= kChunk || n == from.Count()) {
            ok = IoUtil::WriteAt(fd, buffer.data(), buffer.size(), offset);
            offset += buffer.size();
            buffer.clear();
        }
    }
    if (ok) ok = ::fsync(fd) == 0;
    if (!ok) error = IoUtil::ErrnoText("cannot write", dataPath);
    ::close(fd);
    return ok;
}

bool SchemaSwitch::Commit(const std::string& directory, const std::string& analysisText,
                          std::vector<Rename> renames, std::string& error) {
    if (!IoUtil::ReplaceFile(directory + "/" + kNewAnalysis, analysisText, true, error)) return false;
    renames.insert(renames.begin(), Rename(kNewAnalysis, Analysis::kFileName));
    std::string list;
    for (const Rename& r : renames) list += r.first + " " + r.second + "\n";
    // The commit point: once the switch file is whole, the change is made.
    if (!IoUtil::ReplaceFile(directory + "/" + kSwitchName, list, true, error)) return false;
    SyncDirectory(directory);
    return Apply(directory, renames, error);
}

bool SchemaSwitch::Apply(const std::string& directory, const std::vector<Rename>& renames, std::string& error) {
    for (const Rename& r : renames) {
        std::string from = directory + "/" + r.first, to = directory + "/" + r.second;
        if (!Exists(from)) continue;  // made before the process stopped
        if (::rename(from.c_str(), to.c_str()) != 0) {
            error = IoUtil::ErrnoText("cannot rename to", to);
            return false;
        }
    }
    SyncDirectory(directory);
    std::string switchPath = directory + "/" + kSwitchName;
    if (::unlink(switchPath.c_str()) != 0 && errno != ENOENT) {
        error = IoUtil::ErrnoText("cannot remove", switchPath);
        return false;
    }
    return true;
}

bool SchemaSwitch::Recover(const std::string& directory, std::string& error) {
    std::string switchPath = directory + "/" + kSwitchName;
    if (Exists(switchPath)) {
        std::string text;
        if (!IoUtil::ReadFile(switchPath, text, error)) return false;
        std::vector<Rename> renames;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            start = end + 1;
            std::size_t blank = line.find(' ');
            if (blank == std::string::npos || line.find('/') != std::string::npos) {
                error = "'" + switchPath + "' is damaged: the interrupted schema change cannot be finished";
                return false;
            }
            renames.emplace_back(line.substr(0, blank), line.substr(blank + 1));
        }
        if (!Apply(directory, renames, error)) return false;
    }
    DIR* dir = ::opendir(directory.c_str());
    if (dir == nullptr) return true;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (EndsWith(name, kNewRecords) || EndsWith(name, kNewJournal) || EndsWith(name, ".tmp"))
            ::unlink((directory + "/" + name).c_str());
    }
    ::closedir(dir);
    return true;
}

}  // namespace qxhost
