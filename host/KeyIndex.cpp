// KeyIndex: ordered key entries over a file's records (see KeyIndex.h).
#include "host/KeyIndex.h"

#include <algorithm>

#include "host/FieldTypes.h"
#include "host/RecordFile.h"

namespace qxhost {

void KeyIndex::MakeKey(const unsigned char* record, std::string& key) const {
    key.clear();
    for (const Component& c : components_) {
        std::size_t start = key.size();
        FieldTypes::AppendKey(c.type, c.size, record + c.offset, key);
        // Every component has a fixed width, so inverting its bytes reverses its order alone.
        if (c.descending)
            for (std::size_t i = start; i < key.size(); ++i) key[i] = static_cast<char>(~key[i]);
    }
}

bool KeyIndex::Build(const RecordFile& file, std::uint32_t& first, std::uint32_t& second) {
    std::vector<Entry> entries;
    entries.reserve(file.Count());
    std::string key;
    for (std::uint32_t n = 1; n <= file.Count(); ++n) {
        if (!file.IsLive(n)) continue;
        MakeKey(file.Record(n), key);
        entries.push_back(Entry{key, n});
    }
    std::sort(entries.begin(), entries.end());
    if (unique_) {
        for (std::size_t i = 1; i < entries.size(); ++i)
            if (entries[i].key == entries[i - 1].key) {
                first = entries[i - 1].record;
                second = entries[i].record;
                return false;
            }
    }
    entries_.clear();
    for (Entry& e : entries) entries_.insert(entries_.end(), std::move(e));
    return true;
}

std::uint32_t KeyIndex::Holder(const std::string& key, std::uint32_t except) const {
    for (auto it = entries_.lower_bound(Entry{key, 0}); it != entries_.end() && it->key == key; ++it)
        if (it->record != except) return it->record;
    return 0;
}

const KeyIndex::Entry* KeyIndex::First() const { return entries_.empty() ? nullptr : &*entries_.begin(); }

const KeyIndex::Entry* KeyIndex::After(const std::string& key, std::uint32_t record) const {
    auto it = entries_.upper_bound(Entry{key, record});
    return it == entries_.end() ? nullptr : &*it;
}

}  // namespace qxhost
