#include "tests/sql/SqlTestSupport.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "base/MemoryBlock.h"
#include "interface/SqlRequest.h"
#include "obsqleng.h"
#include "tests/testhost/TestHost.h"

namespace qxtest {
namespace {

std::vector<std::vector<unsigned char>> g_memoBlocks;  // memo value blocks of the memo parameters
std::vector<unsigned char> g_memoTable;                // the caller's memo parameter table

std::vector<std::string> SplitValues(const std::string& text) {
    // Words separated by blanks; a quoted word may hold blanks and doubled quotes.
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && text[i] == ' ') ++i;
        if (i >= text.size()) break;
        std::string word;
        if (text[i] == '\'') {
            word += '\'';
            ++i;
            while (i < text.size()) {
                if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
                    word += '\'';
                    i += 2;
                } else if (text[i] == '\'') {
                    ++i;
                    break;
                } else {
                    word += text[i++];
                }
            }
        } else {
            while (i < text.size() && text[i] != ' ') word += text[i++];
        }
        out.push_back(word);
    }
    return out;
}

template <typename T>
void Put(std::vector<std::uint8_t>& record, std::size_t offset, T value) {
    std::memcpy(record.data() + offset, &value, sizeof value);
}

bool EncodeValue(const std::string& table, const testhost::Item& item, const std::string& word,
                 std::vector<std::uint8_t>& record, std::size_t offset, std::string& error) {
    if (word == "-") return true;
    bool quoted = !word.empty() && word[0] == '\'';
    std::string text = quoted ? word.substr(1) : word;
    double number = quoted ? 0 : std::strtod(word.c_str(), nullptr);
    switch (item.type) {
        case 3: Put<std::int16_t>(record, offset, static_cast<std::int16_t>(number)); break;
        case 5: Put<std::int32_t>(record, offset, static_cast<std::int32_t>(number)); break;
        case 9: Put<double>(record, offset, number); break;
        case 12:
        case 22: {
            std::uint32_t reference = 0;
            if (!text.empty()) {
                std::vector<std::uint8_t> data(text.begin(), text.end());
                reference = testhost::AddMemo(table, data);
            }
            Put<std::uint32_t>(record, offset, reference);
            break;
        }
        case 13:
        case 99:
            std::memset(record.data() + offset, ' ', item.size);
            std::memcpy(record.data() + offset, text.data(), std::min<std::size_t>(text.size(), item.size));
            break;
        case 15: {
            std::memset(record.data() + offset, ' ', item.size);
            std::size_t n = std::min<std::size_t>(text.size(), item.size - 1);
            std::memcpy(record.data() + offset, text.data(), n);
            record[offset + item.size - 1] = 0;
            break;
        }
        case 98:
            std::memcpy(record.data() + offset, text.data(), std::min<std::size_t>(text.size(), item.size));
            break;
        default:
            std::memcpy(record.data() + offset, text.data(), std::min<std::size_t>(text.size(), item.size));
            break;
    }
    (void)error;
    return true;
}

}  // namespace

bool ApplyHostDirective(const std::string& line, std::string& error) {
    std::vector<std::string> words = SplitValues(line);
    if (words.size() < 2) {
        error = "directive needs a table name: " + line;
        return false;
    }
    const std::string& table = words[1];
    if (words[0] == "table") {
        std::vector<testhost::Item> items;
        for (std::size_t i = 2; i < words.size(); ++i) {
            std::stringstream parts(words[i]);
            std::string field;
            std::vector<std::string> f;
            while (std::getline(parts, field, ':')) f.push_back(field);
            if (f.size() < 3) {
                error = "item needs NAME:TYPE:SIZE: " + words[i];
                return false;
            }
            testhost::Item item;
            item.name = f[0];
            item.type = static_cast<std::uint16_t>(std::atoi(f[1].c_str()));
            item.size = static_cast<std::uint16_t>(std::atoi(f[2].c_str()));
            for (std::size_t k = 3; k < f.size(); ++k) {
                if (f[k][0] == 'a') item.arrayCount = static_cast<std::int16_t>(std::atoi(f[k].c_str() + 1));
                if (f[k][0] == 'k') item.keyKind = static_cast<std::uint8_t>(std::atoi(f[k].c_str() + 1));
                if (f[k] == "c") item.compositeKey = 1;
            }
            items.push_back(item);
        }
        testhost::AddTable(table, items);
        return true;
    }
    if (words[0] == "fault") {
        testhost::Faults& f = testhost::GetFaults();
        int value = words.size() > 2 ? std::atoi(words[2].c_str()) : 0;
        if (words[1] == "reset") f = testhost::Faults();
        else if (words[1] == "readStatus") f.readStatus = static_cast<std::int16_t>(value);
        else if (words[1] == "readStatusAtRecord") f.readStatusAtRecord = value;
        else if (words[1] == "writeStatus") f.writeStatus = static_cast<std::int16_t>(value);
        else if (words[1] == "writeDuplicate") f.writeDuplicate = value != 0;
        else if (words[1] == "memoWriteStatus") f.memoWriteStatus = static_cast<std::int16_t>(value);
        else if (words[1] == "memoReadFails") f.memoReadFails = value != 0;
        else if (words[1] == "describeRefuseAt") f.describeRefuseAt = value;
        else {
            error = "unknown fault: " + words[1];
            return false;
        }
        return true;
    }
    if (words[0] == "memo") {
        // memo N 'data': memo parameter N of the following statements.
        std::size_t n = static_cast<std::size_t>(std::atoi(words[1].c_str()));
        if (n < 1 || n > 256 || words.size() < 3) {
            error = "memo needs a number from 1 to 256 and a value";
            return false;
        }
        std::string data = words[2][0] == '\'' ? words[2].substr(1) : words[2];
        if (g_memoBlocks.size() < n) g_memoBlocks.resize(n);
        std::vector<unsigned char>& block = g_memoBlocks[n - 1];
        block.assign(74 + data.size(), 0);
        std::uint32_t length = static_cast<std::uint32_t>(data.size());
        std::memcpy(block.data() + 54, &length, 4);
        std::memcpy(block.data() + 74, data.data(), data.size());
        g_memoTable.assign(2 + 8 * g_memoBlocks.size(), 0);
        for (std::size_t k = 0; k < g_memoBlocks.size(); ++k) {
            std::uint64_t address = g_memoBlocks[k].empty() ? 0 : reinterpret_cast<std::uintptr_t>(g_memoBlocks[k].data());
            std::memcpy(g_memoTable.data() + 2 + 8 * k, &address, 8);
        }
        return true;
    }
    if (words[0] == "unique") {
        testhost::Table* u = testhost::FindTable(table);
        if (u == nullptr) {
            error = "unknown test table " + table;
            return false;
        }
        for (std::size_t i = 2; i < words.size(); ++i) u->uniqueItems.push_back(words[i]);
        return true;
    }
    testhost::Table* t = testhost::FindTable(table);
    if (t == nullptr) {
        error = "unknown test table " + table;
        return false;
    }
    if (words[0] == "deleted") {
        testhost::DeleteRecord(table, static_cast<std::uint32_t>(std::atoi(words[2].c_str())));
        return true;
    }
    if (words[0] == "row") {
        std::vector<std::uint8_t> record(t->recordSize, 0);
        std::size_t value = 2;
        std::size_t offset = 1;
        for (const testhost::Item& item : t->items) {
            int count = item.arrayCount > 1 ? item.arrayCount : 1;
            for (int k = 0; k < count && value < words.size(); ++k, ++value) {
                if (!EncodeValue(table, item, words[value], record, offset + k * item.size, error)) return false;
            }
            offset += item.size * count;
        }
        testhost::AddRecord(table, record);
        return true;
    }
    error = "unknown directive: " + line;
    return false;
}

namespace {
std::uint16_t g_hostContext = 1;
void* g_qxLibrary = nullptr;
std::string g_qxDirectory;
}  // namespace


bool OpenQxDatabase(std::string& error) {
    g_qxLibrary = dlopen(QX_HOST_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (g_qxLibrary == nullptr) {
        error = std::string("cannot load the QX file engine: ") + dlerror();
        return false;
    }
    using OpenFn = std::uint16_t (*)(const char*, int, char*, std::size_t);
    auto open = reinterpret_cast<OpenFn>(dlsym(g_qxLibrary, "QXHostOpen"));
    char pattern[] = "/tmp/qxsqltestXXXXXX";
    if (open == nullptr || mkdtemp(pattern) == nullptr) {
        error = "cannot prepare a scratch database";
        return false;
    }
    g_qxDirectory = pattern;
    char message[256] = {};
    std::uint16_t context = open(g_qxDirectory.c_str(), 1, message, sizeof message);
    if (context == 0) {
        error = std::string("QXHostOpen: ") + message;
        return false;
    }
    static ModuleNameEntry entries[1] = {"libobhost32.so"};
    static ModuleNameTable table{entries, 0};
    OBSQLFinInstance(0);
    if (OB4InitInstance(0, &table) != 1) {
        error = "engine start-up over the QX file engine failed";
        return false;
    }
    g_hostContext = context;
    return true;
}

bool ReopenQxDatabase(std::string& error, const std::string& added) {
    auto close = reinterpret_cast<int (*)(std::uint16_t)>(dlsym(g_qxLibrary, "QXHostClose"));
    using OpenFn = std::uint16_t (*)(const char*, int, char*, std::size_t);
    auto open = reinterpret_cast<OpenFn>(dlsym(g_qxLibrary, "QXHostOpen"));
    char message[256] = "no QX file engine";
    if (close != nullptr && open != nullptr && close(g_hostContext) == 0) {
        std::ofstream(g_qxDirectory + "/analysis.qxa", std::ios::app) << added;  // written before the open
        if ((g_hostContext = open(g_qxDirectory.c_str(), 0, message, sizeof message)) != 0) return true;
    }
    error = std::string("reopening the database failed: ") + message;
    return false;
}

void CloseQxDatabase() {
    if (g_qxLibrary == nullptr) return;
    using CloseFn = int (*)(std::uint16_t);
    if (auto close = reinterpret_cast<CloseFn>(dlsym(g_qxLibrary, "QXHostClose"))) close(g_hostContext);
    if (!g_qxDirectory.empty()) std::filesystem::remove_all(g_qxDirectory);
    g_qxDirectory.clear();
    g_hostContext = 1;
}

void SetStrict(bool strict) { QXSQLSetStrict(g_hostContext, strict ? 1 : 0); }

StatementResult RunStatement(const std::string& statement, std::uintptr_t memoValues) {
    StatementResult result;
    // The caller sizes the column description and the row text: room for
    // the widest result the limits allow (16383 columns, numbers written in
    // full), kept from one statement to the next.
    static std::vector<char> infoBuffer(1 << 20, 0);
    static std::vector<char> line(8 << 20);
    auto* info = reinterpret_cast<ExecInfo*>(infoBuffer.data());
    std::memset(info, 0, sizeof(ExecInfo));
    std::uintptr_t handle = 0;
    if (memoValues == 0 && !g_memoTable.empty()) memoValues = reinterpret_cast<std::uintptr_t>(g_memoTable.data());
    result.rc = QXSQLExecReq(&handle, statement.c_str(), info, g_hostContext, memoValues);
    result.compiled = info->compiled;
    if (handle == 0) {
        result.error = "<no handle>";
        return result;
    }
    char text[255] = {}, state[6] = {};
    QXSQLErreur(handle, text, state);
    result.error = text;
    result.state = state;
    if (result.rc == 0) {
        result.columnCount = info->columnCount;
        result.rowCount = info->rowCount;
        if (info->columnCount != 0) {
            result.columns = info->columnText;
            while (QXSQLFetchNext(handle) == 0) {
                QXSQLValLine(handle, "\t", line.data());
                result.rows.emplace_back(line.data());
            }
        }
    }
    QXSQLFinRequete(handle);
    return result;
}

}  // namespace qxtest
