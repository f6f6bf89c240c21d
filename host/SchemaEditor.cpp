// SchemaEditor: OBECRITFICHIER's operations (see SchemaEditor.h).
#include "host/SchemaEditor.h"

#include <algorithm>
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

constexpr std::int16_t kOk = OBHOST_RESULT_OK;
constexpr std::int16_t kRefused = OBHOST_RESULT_REFUSED;
constexpr std::int16_t kIoError = OBHOST_RESULT_IO;
constexpr std::int16_t kNotFound = OBHOST_RESULT_NOT_FOUND;
constexpr std::int16_t kExists = OBHOST_RESULT_EXISTS;

// The item described by operation 1 or 6 (name, kind letter, size), or false with `message`.
bool DescribedItem(const FileDescription& area, const std::string& fileName, ItemDef& item, std::string& message) {
    std::string why;
    std::string raw = Field(area.itemName, sizeof area.itemName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxItemName, item.name, why)) {
        message = "Invalid item name: " + why;
        return false;
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
                message = "Text item '" + item.name + "' is too long (" + std::to_string(size) + ")";
                return false;
            }
            item.size = static_cast<std::uint16_t>(size + 1);
            break;
        default:
            message = "Unsupported type for item '" + item.name + "' of file '" + fileName + "'";
            return false;
    }
    return true;
}

// True (with `message`) when a file or a view is named `name`: the two share their names.
bool NameTaken(const Database& db, const std::string& name, std::string& message) {
    if (db.GetAnalysis().FindFile(name) >= 0) message = "File '" + name + "' already exists";
    else if (db.GetAnalysis().FindView(name) >= 0) message = "View '" + name + "' already exists";
    else return false;
    return true;
}

}  // namespace

std::int16_t SchemaEditor::Apply(Database& db, std::int32_t operation, const FileDescription& area,
                                 std::string& message) {
    switch (operation) {
        case 0: return BeginFile(db, area, message);
        case 1: return AddItem(area, message);
        case 2: return DescribeKey(db, area, message);
        case 3: return Create(db, message);
        case OBHOST_DESCRIBE_DROP_FILE: return DropFile(db, area, message);
        case OBHOST_DESCRIBE_DROP_KEY: return DropKey(db, area, message);
        case OBHOST_DESCRIBE_ADD_ITEM: return AddItemToFile(db, area, message);
        case OBHOST_DESCRIBE_DROP_ITEM: return DropItem(db, area, message);
        case OBHOST_DESCRIBE_RENAME_FILE: return RenameFile(db, area, message);
        case OBHOST_DESCRIBE_CREATE_VIEW: return CreateView(db, area, message);
        case OBHOST_DESCRIBE_DROP_VIEW: return DropView(db, area, message);
        default:
            message = "Unknown file description operation " + std::to_string(operation);
            return kRefused;
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
    if (NameTaken(db, file_.name, message)) return kExists;
    mode_ = Mode::File;
    return 0;
}

std::int16_t SchemaEditor::AddItem(const FileDescription& area, std::string& message) {
    if (mode_ != Mode::File) {
        message = "No file is being described";
        return 1;
    }
    ItemDef item;
    if (!DescribedItem(area, file_.name, item, message)) {
        mode_ = Mode::None;
        return kRefused;
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
    keyDescending_.clear();
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
        bool descending = false;
        if (std::size_t blank = part.rfind(' '); blank != std::string::npos) {
            std::string order = part.substr(blank + 1);
            for (char& c : order)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
            if (order == "DESC" || order == "ASC") {
                descending = order == "DESC";
                part = Trim(part.substr(0, blank));
            }
        }
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
        keyDescending_.push_back(descending);
    }
    if (keyItems_.empty()) {
        message = "Key '" + keyName_ + "' names no item";
        return 1;
    }
    int sameName = file.FindItem(keyName_);
    bool itemKey = keyItems_.size() == 1 && sameName == static_cast<int>(keyItems_[0]);
    if (itemKey && file.items[keyItems_[0]].key != KeyMode::None) {
        message = "Item '" + keyName_ + "' of file '" + file.name + "' is already a key";
        return kExists;
    }
    if (file.FindKey(keyName_) >= 0) {
        message = "File '" + file.name + "' already has a key named '" + keyName_ + "'";
        return kExists;
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
        if (NameTaken(db, file_.name, message)) return 1;
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
        KeyDef key;
        key.name = keyName_;
        key.mode = keyMode_;
        key.items = keyItems_;
        key.descending = keyDescending_;
        if (!table || !table->PrepareKey(key, message)) return 1;
        if (keyItems_.size() == 1 && file.FindItem(keyName_) == static_cast<int>(keyItems_[0])) {
            file.items[keyItems_[0]].key = keyMode_;
            file.items[keyItems_[0]].descending = keyDescending_[0];
        } else {
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

int SchemaEditor::FindFile(Database& db, const FileDescription& area, std::string& message) {
    std::string why, name, raw = Field(area.fileName, sizeof area.fileName);
    int index = -1;
    if (Analysis::NormalizeName(raw, Analysis::kMaxFileName, name, why)) index = db.GetAnalysis().FindFile(name);
    if (index < 0) message = "Unknown file '" + raw + "'";
    return index;
}

std::int16_t SchemaEditor::DropFile(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    int index = FindFile(db, area, message);
    if (index < 0) return kNotFound;
    std::string why;
    if (!db.DropTable(static_cast<std::size_t>(index), why)) {
        message = "Cannot drop file '" + Field(area.fileName, sizeof area.fileName) + "': " + why;
        return kIoError;
    }
    return kOk;
}

std::int16_t SchemaEditor::DropKey(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    std::string why, keyName, raw = Field(area.itemName, sizeof area.itemName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxItemName, keyName, why)) {
        message = "Invalid key name: " + why;
        return kRefused;
    }
    // The files holding a key of that name: the one named, or every file.
    const std::vector<FileDef>& files = db.GetAnalysis().Files();
    std::vector<std::size_t> holders;
    bool oneFile = area.fileName[0] != '\0';
    int named = oneFile ? FindFile(db, area, message) : -1;
    if (oneFile && named < 0) return kNotFound;
    for (std::size_t f = 0; f < files.size(); ++f) {
        if (oneFile && f != static_cast<std::size_t>(named)) continue;
        int item = files[f].FindItem(keyName);
        bool itemKey = item >= 0 && files[f].items[static_cast<std::size_t>(item)].key != KeyMode::None;
        if (itemKey || files[f].FindKey(keyName) >= 0) holders.push_back(f);
    }
    if (holders.empty()) {
        message = "Unknown key '" + keyName + "'";
        return kNotFound;
    }
    if (holders.size() > 1) {
        message = "Key '" + keyName + "' exists in files";
        for (std::size_t f : holders) message += " " + files[f].name;
        message += ": name the file";
        return kRefused;
    }
    Analysis next = db.GetAnalysis();
    FileDef& file = next.Files()[holders[0]];
    if (int key = file.FindKey(keyName); key >= 0) {
        file.keys.erase(file.keys.begin() + key);
    } else {
        ItemDef& item = file.items[static_cast<std::size_t>(file.FindItem(keyName))];
        item.key = KeyMode::None;
        item.descending = false;
    }
    if (!db.RekeyTable(holders[0], next, why)) {
        message = "Cannot drop key '" + keyName + "': " + why;
        return kIoError;
    }
    return kOk;
}

std::int16_t SchemaEditor::AddItemToFile(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    int index = FindFile(db, area, message);
    if (index < 0) return kNotFound;
    Analysis next = db.GetAnalysis();
    FileDef& file = next.Files()[static_cast<std::size_t>(index)];
    ItemDef item;
    if (!DescribedItem(area, file.name, item, message)) return kRefused;
    if (file.FindItem(item.name) >= 0 || file.FindKey(item.name) >= 0) {
        message = "File '" + file.name + "' already has an item or key named '" + item.name + "'";
        return kExists;
    }
    std::vector<int> source;
    for (std::size_t i = 0; i < file.items.size(); ++i) source.push_back(static_cast<int>(i));
    source.push_back(-1);
    file.items.push_back(item);
    std::string why;
    int line = 0;
    if (!Analysis::CheckFile(file, why, line)) {
        message = "Cannot add item '" + item.name + "': " + why;
        return kRefused;
    }
    if (!db.RelayTable(static_cast<std::size_t>(index), next, source, why)) {
        message = "Cannot add item '" + item.name + "': " + why;
        return kIoError;
    }
    return kOk;
}

std::int16_t SchemaEditor::DropItem(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    int index = FindFile(db, area, message);
    if (index < 0) return kNotFound;
    Analysis next = db.GetAnalysis();
    FileDef& file = next.Files()[static_cast<std::size_t>(index)];
    std::string why, name, raw = Field(area.itemName, sizeof area.itemName);
    int gone = Analysis::NormalizeName(raw, Analysis::kMaxItemName, name, why) ? file.FindItem(name) : -1;
    if (gone < 0) {
        message = "Unknown item '" + raw + "' in file '" + file.name + "'";
        return kNotFound;
    }
    for (const KeyDef& key : file.keys)
        for (std::size_t item : key.items)
            if (item == static_cast<std::size_t>(gone)) {
                message = "Item '" + name + "' is part of key '" + key.name + "' of file '" + file.name +
                          "': drop the key first";
                return kRefused;
            }
    if (file.items.size() == 1) {
        message = "Item '" + name + "' is the last item of file '" + file.name + "'";
        return kRefused;
    }
    std::vector<int> source;
    for (std::size_t i = 0; i < file.items.size(); ++i)
        if (i != static_cast<std::size_t>(gone)) source.push_back(static_cast<int>(i));
    file.items.erase(file.items.begin() + gone);
    for (KeyDef& key : file.keys)
        for (std::size_t& item : key.items)
            if (item > static_cast<std::size_t>(gone)) --item;
    int line = 0;
    if (!Analysis::CheckFile(file, why, line) || !db.RelayTable(static_cast<std::size_t>(index), next, source, why)) {
        message = "Cannot drop item '" + name + "': " + why;
        return kIoError;
    }
    return kOk;
}

std::int16_t SchemaEditor::RenameFile(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    int index = FindFile(db, area, message);
    if (index < 0) return kNotFound;
    std::string why, name, raw = Field(area.itemName, sizeof area.itemName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxFileName, name, why)) {
        message = "Invalid file name: " + why;
        return kRefused;
    }
    if (NameTaken(db, name, message)) return kExists;
    Analysis next = db.GetAnalysis();
    next.Files()[static_cast<std::size_t>(index)].name = name;
    if (!db.RenameTable(static_cast<std::size_t>(index), next, why)) {
        message = "Cannot rename file '" + raw + "': " + why;
        return kIoError;
    }
    return kOk;
}

std::int16_t SchemaEditor::CreateView(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    ViewDef view;
    std::string why, raw = Field(area.fileName, sizeof area.fileName);
    if (!Analysis::NormalizeName(raw, Analysis::kMaxFileName, view.name, why)) {
        message = "Invalid view name: " + why;
        return kRefused;
    }
    const auto* columns = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(area.u.view.columns));
    const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(area.u.view.text));
    if (text == nullptr || *text == '\0') {
        message = "View '" + view.name + "' has no SELECT";
        return kRefused;
    }
    view.text = text;
    for (std::string list = columns != nullptr ? columns : "", name; !list.empty();) {
        std::size_t comma = list.find(',');
        std::string part = Trim(list.substr(0, comma));
        list = comma == std::string::npos ? "" : list.substr(comma + 1);
        if (!Analysis::NormalizeName(part, Analysis::kMaxItemName, name, why)) {
            message = "Invalid column name of view '" + view.name + "': " + why;
            return kRefused;
        }
        if (std::find(view.columns.begin(), view.columns.end(), name) != view.columns.end()) {
            message = "Column '" + name + "' appears twice in view '" + view.name + "'";
            return kRefused;
        }
        view.columns.push_back(name);
    }
    if (NameTaken(db, view.name, message)) return kExists;
    Analysis next = db.GetAnalysis();
    next.Views().push_back(std::move(view));
    if (!db.SaveAnalysis(next, why)) {
        message = "Cannot create view '" + raw + "': " + why;
        return kIoError;
    }
    return kOk;
}

std::int16_t SchemaEditor::DropView(Database& db, const FileDescription& area, std::string& message) {
    mode_ = Mode::None;
    std::string why, raw = Field(area.fileName, sizeof area.fileName);
    int index = db.GetAnalysis().FindView(raw);
    if (index < 0) {
        message = "Unknown view '" + raw + "'";
        return kNotFound;
    }
    Analysis next = db.GetAnalysis();
    next.Views().erase(next.Views().begin() + index);
    if (!db.SaveAnalysis(next, why)) {
        message = "Cannot drop view '" + raw + "': " + why;
        return kIoError;
    }
    return kOk;
}

}  // namespace qxhost
