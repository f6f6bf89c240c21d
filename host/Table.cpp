// Table: reads, writes, keys and memos of one open file (see Table.h).
#include "host/Table.h"

#include <unistd.h>

#include <cstring>

#include "host/FieldTypes.h"
#include "host/Transaction.h"
#include "obhost.h"
#include "qxhost.h"

namespace qxhost {
namespace {

// The memo value block to store for a binary memo written from `length` bytes at `data`:
// a block whose header announces no more data than there is keeps its header and data
// (nothing past them); anything shorter than a block header becomes the data of a new block.
void NormalizeBlock(const unsigned char* data, std::uint32_t length, std::vector<unsigned char>& block) {
    MemoValueBlock header;
    std::uint32_t headerSize = OBHOST_MEMO_HEADER_SIZE;
    std::uint32_t dataLength = length;
    if (length >= OBHOST_MEMO_HEADER_SIZE) {
        std::memcpy(&header, data, sizeof header);
        headerSize += header.headerExtra;
    }
    if (length >= OBHOST_MEMO_HEADER_SIZE && headerSize <= length) {
        dataLength = header.dataLength < length - headerSize ? header.dataLength : length - headerSize;
        block.assign(data, data + headerSize + dataLength);
    } else {
        headerSize = OBHOST_MEMO_HEADER_SIZE;
        std::memset(&header, 0, sizeof header);
        block.assign(headerSize, 0);
        block.insert(block.end(), data, data + length);
    }
    header.dataLength = dataLength;
    header.dataOffset = static_cast<std::uint16_t>(headerSize);
    std::memcpy(block.data(), &header, sizeof header);
}

}  // namespace

bool Table::Open(const std::string& directory, const FileDef& def, bool fresh, std::string& error,
                 const std::vector<RecordFile::Patch>* patches) {
    def_ = def;
    std::string base = directory + "/" + def.name;
    std::string dataPath = base + ".qxd", journalPath = base + ".qxj";
    if (fresh || ::access(dataPath.c_str(), F_OK) != 0) {
        if (!RecordFile::Create(dataPath, journalPath, def.recordSize, error)) return false;
    }
    if (!records_.Open(dataPath, journalPath, def.recordSize, error)) return false;
    if (patches != nullptr) records_.PatchInMemory(*patches);
    memoItems_.clear();
    for (std::size_t i = 0; i < def.items.size(); ++i)
        if (FieldTypes::IsMemo(def.items[i].type)) memoItems_.push_back(i);
    if (!memoItems_.empty() && !memos_.Open(base + ".qxm", fresh, error)) return false;
    keys_.clear();
    for (std::size_t i = 0; i < def.items.size(); ++i)
        if (def.items[i].key != KeyMode::None) keys_.push_back(MakeIndex(ItemKey(def.items[i], i)));
    for (const KeyDef& key : def.keys) keys_.push_back(MakeIndex(key));
    for (auto& key : keys_) {
        std::uint32_t a = 0, b = 0;
        if (!key->Build(records_, a, b)) {
            error = "file " + def.name + ", unique key " + key->Name() + ": records " + std::to_string(a) + " and " +
                    std::to_string(b) + " hold the same value";
            return false;
        }
    }
    image_.resize(def.recordSize);
    newKeys_.resize(keys_.size());
    oldKeys_.resize(keys_.size());
    return true;
}

KeyDef Table::ItemKey(const ItemDef& item, std::size_t index) {
    KeyDef key;
    key.name = item.name;
    key.mode = item.key;
    key.items = {index};
    key.descending = {item.descending};
    return key;
}

std::unique_ptr<KeyIndex> Table::MakeIndex(const KeyDef& key) const {
    std::vector<KeyIndex::Component> components;
    for (std::size_t k = 0; k < key.items.size(); ++k) {
        const ItemDef& item = def_.items.at(key.items[k]);
        bool descending = k < key.descending.size() && key.descending[k];
        components.push_back(KeyIndex::Component{item.type, item.size, item.offset, descending});
    }
    return std::make_unique<KeyIndex>(key.name, key.mode == KeyMode::Unique, std::move(components));
}

int Table::FindKey(const std::string& name) const {
    for (std::size_t i = 0; i < keys_.size(); ++i)
        if (keys_[i]->Name() == name) return static_cast<int>(i);
    return -1;
}

void Table::ReadKeyed(bool first, const std::string& keyName, ReadResult& out) {
    std::uint32_t number = 0;
    if (keyName.empty()) {
        std::uint32_t from = 1;
        if (!first) from = (cursorKey_ == -2 ? cursorRecord_ : lastRead_) + 1;
        for (number = from; number <= records_.Count() && !records_.IsLive(number); ++number) {
        }
        cursorKey_ = -2;
        if (number > records_.Count()) {
            cursorRecord_ = records_.Count();
            lastRead_ = 0;
            out.outOfFile = true;
            return;
        }
        cursorRecord_ = number;
    } else {
        int k = FindKey(keyName);
        if (k < 0) {
            out.status = QXHOST_STATUS_UNKNOWN;
            return;
        }
        const KeyIndex& index = *keys_[static_cast<std::size_t>(k)];
        const KeyIndex::Entry* entry;
        if (first) {
            entry = index.First();
        } else if (cursorKey_ == k && cursorRecord_ != 0) {
            entry = index.After(cursorBytes_, cursorRecord_);
        } else if (records_.IsLive(lastRead_)) {
            index.MakeKey(records_.Record(lastRead_), cursorBytes_);
            entry = index.After(cursorBytes_, lastRead_);
        } else {
            entry = index.First();
        }
        if (!entry) {
            lastRead_ = 0;
            out.outOfFile = true;  // the position stays on the last entry
            return;
        }
        cursorKey_ = k;
        cursorBytes_ = entry->key;
        cursorRecord_ = number = entry->record;
    }
    out.found = true;
    out.number = number;
    out.record = records_.Record(number);
    lastRead_ = number;
}

void Table::BuildImage(const unsigned char* data, std::uint32_t length, const unsigned char* memoSource) {
    std::memcpy(image_.data(), data, length);
    if (length < image_.size()) std::memset(image_.data() + length, 0, image_.size() - length);
    image_[0] = RecordFile::kLive;
    for (std::size_t i : memoItems_) {
        std::uint16_t offset = def_.items[i].offset;
        if (memoSource) std::memcpy(image_.data() + offset, memoSource + offset, 4);
        else std::memset(image_.data() + offset, 0, 4);
    }
}

std::int16_t Table::Add(const unsigned char* data, std::uint32_t length, std::uint32_t& number, bool& duplicate,
                        std::string& error) {
    if (!data || length == 0 || length > def_.recordSize) return QXHOST_STATUS_REQUEST;
    if (records_.Count() >= 0x7FFFFFFF) return QXHOST_STATUS_IO;
    BuildImage(data, length, nullptr);
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        keys_[k]->MakeKey(image_.data(), newKeys_[k]);
        if (keys_[k]->Unique() && keys_[k]->Holder(newKeys_[k], 0) != 0) {
            duplicate = true;
            return QXHOST_STATUS_DUPLICATE;
        }
    }
    number = records_.Count() + 1;
    if (!BeforeWrite(number, 0, image_.data(), def_.recordSize, error) ||
        !records_.Write(number, 0, image_.data(), def_.recordSize, error))
        return QXHOST_STATUS_IO;
    for (std::size_t k = 0; k < keys_.size(); ++k) keys_[k]->Insert(newKeys_[k], number);
    return QXHOST_STATUS_OK;
}

std::int16_t Table::Rewrite(std::uint32_t number, const unsigned char* data, std::uint32_t length, bool& duplicate,
                            std::string& error) {
    if (!data || length == 0 || length > def_.recordSize) return QXHOST_STATUS_REQUEST;
    if (!records_.IsLive(number)) return QXHOST_STATUS_NO_RECORD;
    BuildImage(data, length, records_.Record(number));
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        keys_[k]->MakeKey(records_.Record(number), oldKeys_[k]);
        keys_[k]->MakeKey(image_.data(), newKeys_[k]);
        if (keys_[k]->Unique() && keys_[k]->Holder(newKeys_[k], number) != 0) {
            duplicate = true;
            return QXHOST_STATUS_DUPLICATE;
        }
    }
    if (!BeforeWrite(number, 0, image_.data(), def_.recordSize, error) ||
        !records_.Write(number, 0, image_.data(), def_.recordSize, error))
        return QXHOST_STATUS_IO;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if (oldKeys_[k] == newKeys_[k]) continue;
        keys_[k]->Erase(oldKeys_[k], number);
        keys_[k]->Insert(newKeys_[k], number);
    }
    return QXHOST_STATUS_OK;
}

std::int16_t Table::DeleteLastRead(std::string& error) {
    std::uint32_t number = lastRead_;
    if (!records_.IsLive(number)) return QXHOST_STATUS_NO_RECORD;
    for (std::size_t k = 0; k < keys_.size(); ++k) keys_[k]->MakeKey(records_.Record(number), oldKeys_[k]);
    const unsigned char state = RecordFile::kDeleted;
    if (!BeforeWrite(number, 0, &state, 1, error) || !records_.Write(number, 0, &state, 1, error))
        return QXHOST_STATUS_IO;
    for (std::size_t k = 0; k < keys_.size(); ++k) keys_[k]->Erase(oldKeys_[k], number);
    return QXHOST_STATUS_OK;
}

std::int16_t Table::WriteMemo(std::uint32_t number, std::uint16_t memoNumber, const unsigned char* data,
                              std::uint32_t length, std::string& error) {
    if (memoNumber < 1 || memoNumber > memoItems_.size() || !records_.IsLive(number)) return QXHOST_STATUS_MEMO;
    const ItemDef& item = def_.items[memoItems_[memoNumber - 1]];
    std::uint32_t reference = 0;
    // The memo file's size must be known to the transaction before it grows.
    if (!BeforeWrite(number, item.offset, nullptr, 0, error)) return QXHOST_STATUS_IO;
    if (data && length > 0) {
        std::vector<unsigned char> block;
        if (item.type == FieldTypes::kBinaryMemo) {
            NormalizeBlock(data, length, block);
            data = block.data();
            length = static_cast<std::uint32_t>(block.size());
        }
        if (!memos_.Append(item.type, data, length, reference, error)) return QXHOST_STATUS_IO;
    }
    unsigned char bytes[4];
    std::memcpy(bytes, &reference, 4);
    if (!BeforeWrite(number, item.offset, bytes, 4, error) || !records_.Write(number, item.offset, bytes, 4, error))
        return QXHOST_STATUS_IO;
    return QXHOST_STATUS_OK;
}

bool Table::BeforeWrite(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data,
                        std::uint32_t length, std::string& error) {
    if (transaction_ == nullptr) return true;
    std::uint32_t count = records_.Count();
    if (!transaction_->Touch(index_, count, RecordFile::Offset(count + 1, def_.recordSize, 0),
                             memos_.IsOpen() ? memos_.End() : 0, error))
        return false;
    if (length == 0) return true;
    const unsigned char* before = n <= count ? records_.Record(n) + offsetInRecord : nullptr;
    return transaction_->LogWrite(index_, n, offsetInRecord, RecordFile::Offset(n, def_.recordSize, offsetInRecord),
                                  before, data, length, error);
}

bool Table::Restore(std::uint32_t number, std::uint32_t offsetInRecord, const unsigned char* bytes,
                    std::uint32_t length, std::string& error) {
    ForgetPosition();
    if (number > records_.Count()) return true;  // a record of the undone part: cut off after
    bool wasLive = records_.IsLive(number);
    for (std::size_t k = 0; wasLive && k < keys_.size(); ++k) keys_[k]->MakeKey(records_.Record(number), oldKeys_[k]);
    if (!records_.Write(number, offsetInRecord, bytes, length, error)) return false;
    for (std::size_t k = 0; wasLive && k < keys_.size(); ++k) keys_[k]->Erase(oldKeys_[k], number);
    if (!records_.IsLive(number)) return true;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        keys_[k]->MakeKey(records_.Record(number), newKeys_[k]);
        keys_[k]->Insert(newKeys_[k], number);
    }
    return true;
}

bool Table::CutTo(std::uint32_t count, std::uint64_t memoEnd, std::string& error) {
    ForgetPosition();
    for (std::uint32_t n = count + 1; n <= records_.Count(); ++n) {
        if (!records_.IsLive(n)) continue;
        for (std::size_t k = 0; k < keys_.size(); ++k) {
            keys_[k]->MakeKey(records_.Record(n), oldKeys_[k]);
            keys_[k]->Erase(oldKeys_[k], n);
        }
    }
    return records_.Truncate(count, error) && (memoEnd == 0 || !memos_.IsOpen() || memos_.Truncate(memoEnd, error));
}

bool Table::PrepareKey(const KeyDef& key, std::string& error) {
    const std::string& name = key.name;
    preparedKey_ = MakeIndex(key);
    std::uint32_t a = 0, b = 0;
    if (!preparedKey_->Build(records_, a, b)) {
        error = "Cannot create unique key " + name + " on file " + def_.name + ": records " + std::to_string(a) +
                " and " + std::to_string(b) + " hold the same value";
        preparedKey_.reset();
        return false;
    }
    return true;
}

void Table::CommitKey(const FileDef& def) {
    // Item keys come before composite keys: keep keys_ in the order Open builds it.
    std::size_t at = keys_.size();
    if (def.FindItem(preparedKey_->Name()) >= 0) {
        at = 0;
        int item = def.FindItem(preparedKey_->Name());
        for (std::size_t k = 0; k < keys_.size(); ++k) {
            int other = def.FindItem(keys_[k]->Name());
            if (other >= 0 && other < item) at = k + 1;
        }
    }
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(at), std::move(preparedKey_));
    if (cursorKey_ >= static_cast<int>(at)) ++cursorKey_;
    def_ = def;
    newKeys_.resize(keys_.size());
    oldKeys_.resize(keys_.size());
}

}  // namespace qxhost
