// Table: reads, writes, keys and memos of one open file (see Table.h).
#include "host/Table.h"

#include <unistd.h>

#include <cstring>
#include <map>

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
    damage_.clear();
    free_.clear();
    std::string base = directory + "/" + def.name;
    std::string dataPath = base + ".qxd", journalPath = base + ".qxj", memoPath = base + ".qxm";
    bool made = fresh || ::access(dataPath.c_str(), F_OK) != 0;
    if (made && !RecordFile::Create(dataPath, journalPath, def, error)) return false;
    if (!records_.Open(dataPath, journalPath, def, error, patches)) return false;
    memoItems_.clear();
    for (std::size_t i = 0; i < def.items.size(); ++i)
        if (FieldTypes::IsMemo(def.items[i].type)) memoItems_.push_back(i);
    // A memo file is made with its record file: one missing beside records is damage
    // when a record refers to a memo (Survey), and made again empty when none does.
    bool memoMissing = !memoItems_.empty() && !made && ::access(memoPath.c_str(), F_OK) != 0;
    if (!memoItems_.empty() && !memoMissing && !memos_.Open(memoPath, fresh, error)) return false;
    if (!records_.Damage().empty()) damage_ = records_.FileName() + ": " + records_.Damage();
    else if (!memos_.Damage().empty()) damage_ = memos_.FileName() + ": " + memos_.Damage();
    if (damage_.empty()) Survey(memoMissing);
    if (memoMissing && damage_.empty() && !memos_.Open(memoPath, false, error)) return false;
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
    image_.resize(records_.Stride() != 0 ? records_.Stride() : def.recordSize);
    newKeys_.resize(keys_.size());
    oldKeys_.resize(keys_.size());
    return true;
}

void Table::Survey(bool memoMissing) {
    for (std::uint32_t n = records_.Count(); n >= 1; --n) {
        if (records_.IsDamaged(n)) continue;
        const unsigned char* record = records_.Record(n);
        if (record[0] != RecordFile::kLive) {
            free_.push_back(n);  // the last taken first: the lowest number
            continue;
        }
        for (std::size_t i : memoItems_) {
            std::uint32_t reference;
            std::memcpy(&reference, record + def_.items[i].offset, 4);
            if (reference == 0) continue;
            std::string place = records_.FileName() + " record " + std::to_string(n) + " item " + def_.items[i].name;
            if (memoMissing) {
                damage_ = place + ": its memo file " + def_.name + ".qxm is missing";
                return;
            }
            if (std::uint64_t(reference) * MemoFile::kAlign + MemoFile::kBlockHeader > memos_.End()) {
                damage_ = place + ": memo " + std::to_string(reference) + " is past the end of " + memos_.FileName();
                return;
            }
        }
    }
}

bool Table::RefuseDamaged(std::uint32_t number, ReadResult& out) {
    if (!damage_.empty()) {
        out.outOfFile = false;
        Refuse(damage_, out);
    } else if (records_.IsDamaged(number)) {
        Refuse(records_.Damaged(number), out);
    } else {
        return false;
    }
    return true;
}

std::string Table::Complaint(const std::string& what) const {
    return "QX file '" + def_.name + "' is damaged: " + what;
}

bool Table::ReadMemo(std::uint32_t reference, std::uint16_t& kind, std::vector<unsigned char>& data,
                     std::string& error) const {
    std::string why = damage_;
    if (why.empty() && !memos_.IsOpen()) why = def_.name + ".qxm: no memo file";
    if (why.empty() && memos_.Read(reference, kind, data, why)) return true;
    error = Complaint(why);
    return false;
}

void Table::Check(std::vector<std::string>& problems) const {
    if (!damage_.empty()) {
        problems.push_back(Complaint(damage_));
        return;
    }
    for (std::uint32_t n : records_.DamagedRecords()) problems.push_back(Complaint(records_.Damaged(n)));
    std::map<std::uint32_t, std::uint32_t> holders;  // memo reference -> record
    std::vector<unsigned char> data;
    for (std::uint32_t n = 1; n <= records_.Count(); ++n) {
        if (!records_.IsLive(n)) continue;
        for (std::size_t i : memoItems_) {
            std::uint32_t reference;
            std::memcpy(&reference, records_.Record(n) + def_.items[i].offset, 4);
            if (reference == 0) continue;
            std::string place = records_.FileName() + " record " + std::to_string(n) + " item " + def_.items[i].name;
            std::string why;
            std::uint16_t kind = 0;
            if (!memos_.Read(reference, kind, data, why)) problems.push_back(Complaint(place + ": " + why));
            else if (kind != def_.items[i].type)
                problems.push_back(Complaint(place + ": memo " + std::to_string(reference) + " is of type " +
                                             std::to_string(kind)));
            auto [at, added] = holders.emplace(reference, n);
            if (!added)
                problems.push_back(Complaint(place + ": memo " + std::to_string(reference) + " is also record " +
                                             std::to_string(at->second) + "'s"));
        }
    }
    std::vector<KeyDef> keys;
    for (std::size_t i = 0; i < def_.items.size(); ++i)
        if (def_.items[i].key == KeyMode::Unique) keys.push_back(ItemKey(def_.items[i], i));
    for (const KeyDef& key : def_.keys)
        if (key.mode == KeyMode::Unique) keys.push_back(key);
    for (const KeyDef& key : keys) {
        std::uint32_t a = 0, b = 0;
        if (!MakeIndex(key)->Build(records_, a, b))
            problems.push_back("QX file '" + def_.name + "': unique key " + key.name + ": records " +
                               std::to_string(a) + " and " + std::to_string(b) + " hold the same value");
    }
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
    if (Damaged()) {
        // A walk cannot tell what a damaged record would have placed in it.
        lastRead_ = 0;
        return Refuse(!damage_.empty() ? damage_ : records_.Damaged(records_.DamagedRecords().front()), out);
    }
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
    if (Damaged()) return Refused(error);
    if (records_.Count() >= 0x7FFFFFFF) return QXHOST_STATUS_IO;
    BuildImage(data, length, nullptr);
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        keys_[k]->MakeKey(image_.data(), newKeys_[k]);
        if (keys_[k]->Unique() && keys_[k]->Holder(newKeys_[k], 0) != 0) {
            duplicate = true;
            return QXHOST_STATUS_DUPLICATE;
        }
    }
    // A free slot when there is one (a candidate may have been taken since it was freed).
    number = 0;
    while (number == 0 && !free_.empty()) {
        std::uint32_t slot = free_.back();
        free_.pop_back();
        if (slot <= records_.Count() && !records_.IsLive(slot) && !records_.IsDamaged(slot)) number = slot;
    }
    if (number == 0) number = records_.Count() + 1;
    if (!WriteSlot(number, error)) {
        if (number <= records_.Count() && !records_.IsLive(number)) free_.push_back(number);
        return QXHOST_STATUS_IO;
    }
    for (std::size_t k = 0; k < keys_.size(); ++k) keys_[k]->Insert(newKeys_[k], number);
    return QXHOST_STATUS_OK;
}

std::int16_t Table::Rewrite(std::uint32_t number, const unsigned char* data, std::uint32_t length, bool& duplicate,
                            std::string& error) {
    if (!data || length == 0 || length > def_.recordSize) return QXHOST_STATUS_REQUEST;
    if (Damaged()) return Refused(error);
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
    if (!WriteSlot(number, error)) return QXHOST_STATUS_IO;
    for (std::size_t k = 0; k < keys_.size(); ++k) {
        if (oldKeys_[k] == newKeys_[k]) continue;
        keys_[k]->Erase(oldKeys_[k], number);
        keys_[k]->Insert(newKeys_[k], number);
    }
    return QXHOST_STATUS_OK;
}

std::int16_t Table::DeleteLastRead(std::string& error) {
    std::uint32_t number = lastRead_;
    if (Damaged()) return Refused(error);
    if (!records_.IsLive(number)) return QXHOST_STATUS_NO_RECORD;
    const unsigned char* record = records_.Record(number);
    for (std::size_t k = 0; k < keys_.size(); ++k) keys_[k]->MakeKey(record, oldKeys_[k]);
    std::memcpy(image_.data(), record, def_.recordSize);
    image_[0] = RecordFile::kDeleted;
    if (!WriteSlot(number, error)) return QXHOST_STATUS_IO;
    for (std::size_t k = 0; k < keys_.size(); ++k) keys_[k]->Erase(oldKeys_[k], number);
    for (std::size_t i : memoItems_) memos_.Release(MemoAt(image_.data(), i));
    free_.push_back(number);
    return QXHOST_STATUS_OK;
}

std::int16_t Table::WriteMemo(std::uint32_t number, std::uint16_t memoNumber, const unsigned char* data,
                              std::uint32_t length, std::string& error) {
    if (memoNumber < 1 || memoNumber > memoItems_.size() || !records_.IsLive(number)) return QXHOST_STATUS_MEMO;
    if (Damaged()) return Refused(error);
    std::size_t itemIndex = memoItems_[memoNumber - 1];
    const ItemDef& item = def_.items[itemIndex];
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
    std::memcpy(image_.data(), records_.Record(number), def_.recordSize);
    std::uint32_t replaced = MemoAt(image_.data(), itemIndex);
    std::memcpy(image_.data() + item.offset, &reference, 4);
    if (!WriteSlot(number, error)) return QXHOST_STATUS_IO;
    memos_.Release(replaced);
    return QXHOST_STATUS_OK;
}

std::int16_t Table::Refused(std::string& error) const {
    error = Complaint(!damage_.empty() ? damage_ : records_.Damaged(records_.DamagedRecords().front()));
    return QXHOST_STATUS_IO;
}

bool Table::WriteSlot(std::uint32_t n, std::string& error) {
    records_.Seal(image_.data());
    return BeforeWrite(n, 0, image_.data(), records_.Stride(), error) &&
           records_.Write(n, 0, image_.data(), records_.Stride(), error);
}

bool Table::BeforeWrite(std::uint32_t n, std::uint32_t offsetInRecord, const unsigned char* data,
                        std::uint32_t length, std::string& error) {
    if (transaction_ == nullptr) return true;
    std::uint32_t count = records_.Count();
    if (!transaction_->Touch(index_, count, records_.Offset(count + 1, 0),
                             memos_.IsOpen() ? memos_.End() : 0, error))
        return false;
    if (length == 0) return true;
    const unsigned char* before = n <= count ? records_.Record(n) + offsetInRecord : nullptr;
    return transaction_->LogWrite(index_, n, offsetInRecord, records_.Offset(n, offsetInRecord),
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
    if (!records_.IsLive(number)) {
        if (wasLive) free_.push_back(number);
        return true;
    }
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
