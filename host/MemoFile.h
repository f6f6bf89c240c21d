// MemoFile: the memos (text and binary) of one file, appended to <NAME>.qxm.
//
// Memo file <NAME>.qxm:
//
//   0   char[8] "QXMEMO1\n"  magic, then zeros up to kHeaderSize (64)
//   64  blocks, each starting at a multiple of 16:
//         0  u32 "QXMB" (0x424D5851)  magic
//         4  u16 kind                 12 text, 22 binary (a whole memo value block)
//         6  u16 0
//         8  u32 length               data bytes
//         12 u32 crc                  CRC-32 of the data
//         16 data, then zeros up to the next multiple of 16
//
// A memo reference (the 32-bit value in the record's memo slot) is the
// block's offset divided by 16, so it is never 0 (0 means "no memo") and
// reaches 64 GiB.  Memos are never changed in place: a new value is a new
// block, and the record's slot is pointed at it only after the block is
// written.  A transaction that is undone (or a process killed before its
// commit) has the file cut back to its size at the start.  Space of replaced memos is not reclaimed.
// Reading checks magic, length and CRC, so a wrong reference is refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qxhost {

class MemoFile {
public:
    static constexpr std::uint32_t kHeaderSize = 64;
    static constexpr std::uint32_t kBlockHeader = 16;
    static constexpr std::uint32_t kAlign = 16;
    static constexpr std::uint32_t kBlockMagic = 0x424D5851;  // "QXMB"
    static constexpr char kMagic[9] = "QXMEMO1\n";

    MemoFile() = default;
    ~MemoFile();
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    // Opens (creates when missing; `truncate` empties it) the memo file at `path`.
    bool Open(const std::string& path, bool truncate, std::string& error);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    // Appends a memo; `reference` receives its reference.
    bool Append(std::uint16_t kind, const unsigned char* data, std::uint32_t length, std::uint32_t& reference,
                std::string& error);
    // Where the next block goes: the size a transaction's undo cuts the file back to.
    std::uint64_t End() const { return end_; }
    // Forgets every block from `end` on.
    bool Truncate(std::uint64_t end, std::string& error);
    bool Sync(std::string& error);
    // Reads the memo `reference` into `data`; false when the reference names no whole memo.
    bool Read(std::uint32_t reference, std::uint16_t& kind, std::vector<unsigned char>& data) const;

private:
    int fd_ = -1;              // owned
    std::uint64_t end_ = 0;    // where the next block goes
    std::string path_;
};

}  // namespace qxhost
