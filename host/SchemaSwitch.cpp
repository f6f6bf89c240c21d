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
#include "host/Crc32.h"
#include "host/FieldTypes.h"
#include "host/MemoFile.h"
#include "host/RecordFile.h"
#include "host/Table.h"

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
    std::vector<const unsigned char*> records;
    records.reserve(from.Count());
    for (std::uint32_t n = 1; n <= from.Count(); ++n) records.push_back(from.Record(n));
    return WriteSlots(directory + "/" + newDef.name + kNewRecords, records, oldDef, newDef, source, {}, error);
}

bool SchemaSwitch::WriteSlots(const std::string& path, const std::vector<const unsigned char*>& records,
                              const FileDef& oldDef, const FileDef& newDef, const std::vector<int>& source,
                              const std::vector<std::uint32_t>& memoReferences, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = IoUtil::ErrnoText("cannot create", path);
        return false;
    }
    const std::uint32_t stride = newDef.recordSize + RecordFile::kChecksumBytes;
    std::string header = RecordFile::Header(newDef, static_cast<std::uint32_t>(records.size()));
    bool ok = IoUtil::WriteAt(fd, header.data(), header.size(), 0);
    constexpr std::size_t kChunk = 1 << 20;  // bytes written per call
    std::vector<unsigned char> buffer;
    buffer.reserve(kChunk + stride);
    std::uint64_t offset = RecordFile::kHeaderSize;
    std::size_t memo = 0;
    for (std::size_t r = 0; ok && r < records.size(); ++r) {
        const unsigned char* in = records[r];
        std::size_t at = buffer.size();
        buffer.resize(at + stride, 0);
        buffer[at] = in[0];
        for (std::size_t i = 0; i < newDef.items.size(); ++i) {
            if (source[i] < 0) continue;
            const ItemDef& was = oldDef.items[static_cast<std::size_t>(source[i])];
            std::memcpy(&buffer[at + newDef.items[i].offset], in + was.offset, was.Bytes());
            if (!memoReferences.empty() && FieldTypes::IsMemo(newDef.items[i].type))
                std::memcpy(&buffer[at + newDef.items[i].offset], &memoReferences[memo++], 4);
        }
        std::uint32_t crc = Crc32(&buffer[at], newDef.recordSize);
        std::memcpy(&buffer[at + newDef.recordSize], &crc, 4);
        if (buffer.size() >= kChunk || r + 1 == records.size()) {
            ok = IoUtil::WriteAt(fd, buffer.data(), buffer.size(), offset);
            offset += buffer.size();
            buffer.clear();
        }
    }
    if (ok) ok = ::fsync(fd) == 0;
    if (!ok) error = IoUtil::ErrnoText("cannot write", path);
    ::close(fd);
    return ok;
}

bool SchemaSwitch::WriteCompacted(const std::string& directory, const Table& table, std::string& error) {
    const FileDef& def = table.Def();
    const RecordFile& from = table.Records();
    std::string base = directory + "/" + def.name;
    std::vector<const unsigned char*> live;
    std::vector<std::uint32_t> references;  // the new memo references, record by record, item by item
    MemoFile memos;
    if (!table.MemoItems().empty() && !memos.Open(base + kNewMemos, true, error)) return false;
    std::vector<unsigned char> data;
    for (std::uint32_t n = 1; n <= from.Count(); ++n) {
        if (!from.IsLive(n)) continue;
        live.push_back(from.Record(n));
        for (std::size_t i : table.MemoItems()) {
            std::uint32_t reference;
            std::memcpy(&reference, from.Record(n) + def.items[i].offset, 4);
            std::uint16_t kind = 0;
            if (reference != 0 && (!table.ReadMemo(reference, kind, data, error) ||
                                   !memos.Append(kind, data.data(), static_cast<std::uint32_t>(data.size()),
                                                 reference, error)))
                return false;
            references.push_back(reference);
        }
    }
    if (memos.IsOpen() && (!memos.WriteFloor(error) || !memos.Sync(error))) return false;
    std::vector<int> same;
    for (std::size_t i = 0; i < def.items.size(); ++i) same.push_back(static_cast<int>(i));
    return WriteSlots(base + kNewRecords, live, def, def, same, references, error);
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
        if (EndsWith(name, kNewRecords) || EndsWith(name, kNewMemos) || EndsWith(name, kNewJournal) ||
            EndsWith(name, ".tmp"))
            ::unlink((directory + "/" + name).c_str());
    }
    ::closedir(dir);
    return true;
}

}  // namespace qxhost
