// KeyIndex: the in-memory order of one key over the live records of a file.
//
// Built when the database opens (and when a key is created) from the
// records themselves; nothing of it is stored on disk.  Entries are
// (key bytes, record number) in that order, so records with equal values
// of a key with duplicates follow each other by record number.  The key
// bytes come from FieldTypes::AppendKey over the key's items and compare
// with memcmp in the order of the values.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace qxhost {

class RecordFile;

class KeyIndex {
public:
    // One item of the key: where it is in the record and how to encode it.
    struct Component {
        std::uint16_t type;
        std::uint16_t size;
        std::uint16_t offset;
        bool descending;  // bytes inverted: the largest value first
    };
    struct Entry {
        std::string key;
        std::uint32_t record;
        bool operator<(const Entry& other) const {
            int c = key.compare(other.key);
            return c < 0 || (c == 0 && record < other.record);
        }
    };

    KeyIndex(std::string name, bool unique, std::vector<Component> components)
        : name_(std::move(name)), unique_(unique), components_(std::move(components)) {}

    const std::string& Name() const { return name_; }
    bool Unique() const { return unique_; }

    // The key bytes of `record` (a whole record image).
    void MakeKey(const unsigned char* record, std::string& key) const;
    // Indexes every live record of `file`.  For a unique key, two records with one value
    // make it fail with their numbers in `first` and `second`.
    bool Build(const RecordFile& file, std::uint32_t& first, std::uint32_t& second);

    void Insert(const std::string& key, std::uint32_t record) { entries_.insert(Entry{key, record}); }
    void Erase(const std::string& key, std::uint32_t record) { entries_.erase(Entry{key, record}); }
    // The live record other than `except` that holds `key`, or 0.
    std::uint32_t Holder(const std::string& key, std::uint32_t except) const;
    // First entry in key order, or null.
    const Entry* First() const;
    // The entry after (key, record) in key order, or null.
    const Entry* After(const std::string& key, std::uint32_t record) const;
    std::size_t Size() const { return entries_.size(); }

private:
    std::string name_;
    bool unique_;
    std::vector<Component> components_;
    std::set<Entry> entries_;
};

}  // namespace qxhost
