// MemoFile: the memos (text and binary) of one file, appended to <NAME>.qxm.
//
// Memo file <NAME>.qxm, format version 2:
//
//   0   header, kHeaderSize (64) bytes:
//         0  char[8] "QXMEMO1\n"  magic
//         8  u32 2                 format version (0 in version 1 files)
//         12 u32 0
//         16 u64 end               bytes of the file at the last checkpoint (a floor)
//         24 u32 CRC-32 of bytes 0..23
//         rest zero
//   64  blocks, each starting at a multiple of 16:
//         0  u32 "QXMB" (0x424D5851)  magic
//         4  u16 kind                 12 text, 22 binary (a whole memo value block)
//         6  u16 slack                16-byte units the block owns past its data
//         8  u32 length               data bytes
//         12 u32 crc                  CRC-32 of the data
//         16 data, then zeros up to the next multiple of 16, then the slack
//
// A memo reference (the 32-bit value in the record's memo slot) is the
// block's offset divided by 16, so it is never 0 (0 means "no memo") and
// reaches 64 GiB.  A memo is never changed in place: a new value goes to a
// free block or to the end, and the record's slot is pointed at it only
// after the block is written.  The block a record no longer references
// (replaced, or its record deleted) is Released; once the transaction
// commits it is free, and a later memo of at most its size takes it (the
// rest of the block becomes its slack).  Free blocks are known to the
// connection that freed them, until the tables are loaded again; space
// no connection knows of is given back by compaction.  A transaction that
// is undone (or a process killed before its commit) has the file cut back
// to its size at the start; what it wrote into free blocks is referenced
// by nothing.  Reading checks magic, length and CRC.
//
// Version 1 has zeros after the magic: it reads the same and gets a
// version 2 header at its next checkpoint.
#pragma once

#include <cstdint>
#include <map>
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
    static constexpr std::uint32_t kVersion = 2;

    MemoFile() = default;
    ~MemoFile();
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    // Opens (creates when missing; `truncate` empties it) the memo file at `path`.  False
    // on an I/O error; damage (a header that does not check, a file shorter than its floor,
    // a newer version) is kept in Damage().
    bool Open(const std::string& path, bool truncate, std::string& error);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Damage() const { return damage_; }
    std::string FileName() const { return path_.substr(path_.rfind('/') + 1); }

    // Stores a memo in a free block or at the end; `reference` receives its reference.
    bool Append(std::uint16_t kind, const unsigned char* data, std::uint32_t length, std::uint32_t& reference,
                std::string& error);
    // The block `reference` is no longer referenced once the transaction commits.
    void Release(std::uint32_t reference);
    // The transaction committed: the blocks it released are free.
    void Commit();
    // The transaction was undone: the blocks it released are referenced again.
    void ForgetReleases() { released_.clear(); }
    // Notes the file's size in its header (a checkpoint: every block is on the disk).
    bool WriteFloor(std::string& error);
    // Bytes block `reference` spans (header, data, padding, slack); 0 when it is no block.
    std::uint64_t BlockBytes(std::uint32_t reference) const;
    // Where the next block goes: the size a transaction's undo cuts the file back to.
    std::uint64_t End() const { return end_; }
    // Forgets every block from `end` on.
    bool Truncate(std::uint64_t end, std::string& error);
    bool Sync(std::string& error);
    // Reads the memo `reference` into `data`; false with what is wrong in `error` when the
    // reference names no whole memo.
    bool Read(std::uint32_t reference, std::uint16_t& kind, std::vector<unsigned char>& data,
              std::string& error) const;

private:
    bool ReadHead(std::uint32_t reference, unsigned char* head) const;

    int fd_ = -1;              // owned
    std::uint64_t end_ = 0;    // where the next block goes
    std::uint64_t floor_ = 0;  // the end noted in the header
    std::uint32_t version_ = kVersion;
    std::string damage_;
    std::string path_;
    std::multimap<std::uint64_t, std::uint32_t> free_;  // bytes -> reference of a free block
    std::vector<std::uint32_t> released_;              // released by the open transaction
};

}  // namespace qxhost
