// SchemaEditor: OBECRITFICHIER's operations (see SchemaEditor.h).
#include "host/SchemaEditor.h"

#include <cstring>

#include "host/Analysis.h"
#include "host/Database.h"
#include "host/FieldTypes.h"

namespace qxhost {
namespace {

std::string Field(const char* text, std::size_t capacity) { return std::string(text, ::strnlen(text, capacity)); }

std::string Trim(const std::string& text) {
    std::size_t a = 0, b = text.size();
    while (a < b && text[a] == ' ') ++a;
    while (b > a && text[b - 1] == ' ') --b;
    return text.substr(a, b - a);
}

}  // namespace

std::int16_t SchemaEditor::Apply(Database& db, std::int32_t operation, const FileDescription& area,
                                 std::string& message) {
    switch (operation) {
        case 0: return BeginFile(db, area, message);
        case 1: return AddItem(area, message);
        case 2: return DescribeKey(db, area, message);
        case 3: return Create(db, message);
        default:
            message = "Unknown file description operation " + std::to_string(operation);
            return 1;
    }
}

std::int16_t SchemaEditor::BeginFile(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    file_ = FileDef();
    std::string why;
    std::string raw = Field(area.fileName, sizeof area.fileName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxFileName, file_.name, why)) {
        message = "Invalid file name: " + why;
        return 1;
    }
    if (db.GetAnalysis().FindFile(file_.name) >= 0) {
        message = "File '" + file_.name + "' already exists";
        return 1;
    }
    mode_ = Mode::File;
    return 0;
}

std::int16_t SchemaEditor::AddItem(const FileDescription& area, std::string& message) {
    if (mode_ != Mode::File) {
        message = "No file is being described";
        return 1;
    }
    ItemDef item;
    std::string why;
    std::string raw = Field(area.itemName, sizeof area.itemName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxItemName, item.name, why)) {
        mode_ = Mode::None;
        message = "Invalid item name: " + why;
        return 1;
    }
    std::uint16_t size = area.u.item.itemSize;
    switch (area.u.item.itemKind) {
        case 'A': item.type = FieldTypes::kDate; item.size = 9; break;
        case 'L': item.type = 5; item.size = 4; break;
        case 'H': item.type = FieldTypes::kTime; item.size = 4; break;
        case 'E': item.type = 3; item.size = 2; break;
        case 'S': item.type = 7; item.size = 4; break;
        case 'D': item.type = 9; item.size = 8; break;
        case 'C': item.type = 1; item.size = 1; break;
        case 'T':
            item.type = 15;
            if (size == 0) size = 1;
            if (size + 1u >= FieldTypes::kMaxRecordSize) {
                mode_ = Mode::None;
                message = "Text item '" + item.name + "' is too long (" + std::to_string(size) + ")";
                return 1;
            }
            item.size = static_cast<std::uint16_t>(size + 1);
            break;
        default:
            mode_ = Mode::None;
            message = "Unsupported type for item '" + item.name + "' of file '" + file_.name + "'";
            return 1;
    }
    if (file_.FindItem(item.name) >= 0) {
        mode_ = Mode::None;
        message = "Item '" + item.name + "' appears twice in file '" + file_.name + "'";
        return 1;
    }
    file_.items.push_back(item);
    file_.Layout();
    if (file_.recordSize > FieldTypes::kMaxRecordSize) {
        mode_ = Mode::None;
        message = "Records of file '" + file_.name + "' would be too large (at most " +
                  std::to_string(FieldTypes::kMaxRecordSize) + " bytes)";
        return 1;
    }
    return 0;
}

std::int16_t SchemaEditor::DescribeKey(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    keyItems_.clear();
    std::string why, fileName, raw = Field(area.fileName, sizeof area.fileName);
    int fileIndex = -1;
    if (Analysis::NormalizeName(raw, Analysis::kMaxFileName, fileName, why))
        fileIndex = db.GetAnalysis().FindFile(fileName);
    if (fileIndex < 0) {
        message = "Unknown file '" + raw + "'";
        return 1;
    }
    const FileDef& file = db.GetAnalysis().Files()[static_cast<std::size_t>(fileIndex)];
    raw = Field(area.itemName, sizeof area.itemName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxItemName, keyName_, why)) {
        message = "Invalid key name: " + why;
        return 1;
    }
    if (area.keyMode != 1 && area.keyMode != 2) {
        message = "Invalid key mode " + std::to_string(area.keyMode) + " for key '" + keyName_ + "'";
        return 1;
    }
    keyMode_ = area.keyMode == 1 ? KeyMode::Unique : KeyMode::Duplicates;
    std::string list = Field(area.u.keyItems, sizeof area.u.keyItems);
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string part = Trim(list.substr(start, comma - start)), name;
        start = comma + 1;
        if (part.empty()) continue;
        int item = -1;
        if (Analysis::NormalizeName(part, Analysis::kMaxItemName, name, why)) item = file.FindItem(name);
        if (item < 0) {
            message = "Unknown item '" + part + "' in key '" + keyName_ + "' of file '" + file.name + "'";
            return 1;
        }
        const ItemDef& def = file.items[static_cast<std::size_t>(item)];
        if (!FieldTypes::IsKeyable(def.type) || def.arrayCount > 1) {
            message = "Item '" + def.name + "' cannot be part of a key (memo or array)";
            return 1;
        }
        for (std::size_t other : keyItems_)
            if (other == static_cast<std::size_t>(item)) {
                message = "Item '" + def.name + "' appears twice in key '" + keyName_ + "'";
                return 1;
            }
        keyItems_.push_back(static_cast<std::size_t>(item));
    }
    if (keyItems_.empty()) {
        message = "Key '" + keyName_ + "' names no item";
        return 1;
    }
    int sameName = file.FindItem(keyName_);
    bool itemKey = keyItems_.size() == 1 && sameName == static_cast<int>(keyItems_[0]);
    if (itemKey && file.items[keyItems_[0]].key != KeyMode::None) {
        message = "Item '" + keyName_ + "' of file '" + file.name + "' is already a key";
        return 1;
    }
    if (!itemKey && (sameName >= 0 || file.FindKey(keyName_) >= 0)) {
        message = "File '" + file.name + "' already has an item or key named '" + keyName_ + "'";
        return 1;
    }
    keyFile_ = static_cast<std::size_t>(fileIndex);
    mode_ = Mode::Key;
    return 0;
}

std::int16_t SchemaEditor::Create(Database& db, std::string& message) {
    Mode mode = mode_;
    mode_ = Mode::None;
    std::string why;
    int line = 0;
    if (mode == Mode::File) {
        if (db.GetAnalysis().FindFile(file_.name) >= 0) {
            message = "File '" + file_.name + "' already exists";
            return 1;
        }
        if (!Analysis::CheckFile(file_, why, line)) {
            message = "Cannot create file '" + file_.name + "': " + why;
            return 1;
        }
        if (!db.CreateTable(file_, why)) {
            message = "Cannot create file '" + file_.name + "': " + why;
            return 2;
        }
        return 0;
    }
    if (mode == Mode::Key) {
        Analysis next = db.GetAnalysis();
        FileDef& file = next.Files().at(keyFile_);
        Table* table = db.TableAt(keyFile_);
        if (!table || !table->PrepareKey(keyName_, keyMode_, keyItems_, message)) return 1;
        if (keyItems_.size() == 1 && file.FindItem(keyName_) == static_cast<int>(keyItems_[0])) {
            file.items[keyItems_[0]].key = keyMode_;
        } else {
            KeyDef key;
            key.name = keyName_;
            key.mode = keyMode_;
            key.items = keyItems_;
            file.keys.push_back(key);
        }
        if (!Analysis::CheckFile(file, why, line)) {
            message = "Cannot create key '" + keyName_ + "': " + why;
            return 1;
        }
        if (!db.SaveAnalysis(next, why)) {
            message = "Cannot create key '" + keyName_ + "': " + why;
            return 2;
        }
        table->CommitKey(next.Files().at(keyFile_));
        return 0;
    }
    message = "Nothing was described to create";
    return 1;
}

}  // namespace qxhost
