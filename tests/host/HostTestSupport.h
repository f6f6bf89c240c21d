// HostTestSupport: scratch databases and thin wrappers over the six
// callbacks for the file engine's tests.  Each test gets its own directory
// under /tmp, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "obhost.h"
#include "qxhost.h"

namespace hosttest {

using Bytes = std::vector<std::uint8_t>;

inline std::string MakeScratch() {
    char pattern[] = "/tmp/qxhost_test_XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    return dir ? dir : "";
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename T>
void Put(Bytes& record, std::size_t offset, T value) {
    std::memcpy(record.data() + offset, &value, sizeof value);
}
template <typename T>
T Get(const Bytes& record, std::size_t offset) {
    T value;
    std::memcpy(&value, record.data() + offset, sizeof value);
    return value;
}
// A type 15 text: the characters, spaces up to the last byte, a NUL there.
inline void PutText(Bytes& record, std::size_t offset, std::size_t size, const std::string& text) {
    std::memset(record.data() + offset, ' ', size - 1);
    std::memcpy(record.data() + offset, text.data(), std::min(text.size(), size - 1));
    record[offset + size - 1] = 0;
}
inline std::string GetText(const Bytes& record, std::size_t offset, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(record.data() + offset), size - 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

struct ReadAnswer {
    std::int16_t status;
    bool outOfFile;
    bool found;
    std::uint32_t number;
    Bytes record;
};

// A scratch directory and the callbacks over one open database.
class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeScratch();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override {
        for (std::uint16_t c : contexts_) QXHostClose(c);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    // Writes `analysis` into `dir` (default: the scratch directory) and opens it.
    std::uint16_t OpenWith(const std::string& analysis, const std::string& sub = "") {
        std::string path = sub.empty() ? dir_ : dir_ + "/" + sub;
        std::filesystem::create_directories(path);
        WriteText(path + "/analysis.qxa", analysis);
        return Open(path);
    }
    std::uint16_t Open(const std::string& path, int create = 0) {
        char error[512];
        std::uint16_t c = QXHostOpen(path.c_str(), create, error, sizeof error);
        lastError_ = error;
        if (c != 0) {
            contexts_.push_back(c);
            ctx_ = c;
            path_ = path;
        }
        return c;
    }
    void Close(std::uint16_t c) {
        ASSERT_EQ(QXHostClose(c), 0);
        std::erase(contexts_, c);
    }
    // Closes and opens the current database again.
    void Reopen() {
        Close(ctx_);
        ASSERT_NE(Open(path_), 0) << lastError_;
    }

    ReadAnswer Read(const char* file, char command, std::int32_t n = 0, const char* key = "") {
        block_.command = command;
        std::memset(block_.keyName, 0, sizeof block_.keyName);
        std::strncpy(block_.keyName, key, 10);
        block_.status = 99;
        OLIREENREG(ctx_, file, n, &block_);
        ReadAnswer a{block_.status, block_.outOfFile != 0, block_.found != 0, block_.recordNumber, {}};
        if (a.found) {
            const auto* p = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(block_.recordAddress));
            a.record.assign(p, p + block_.recordLength);
        }
        return a;
    }
    // Record numbers of a whole P/S walk over `key`.
    std::vector<std::uint32_t> Walk(const char* file, const char* key) {
        std::vector<std::uint32_t> numbers;
        for (ReadAnswer a = Read(file, 'P', 0, key); a.found && numbers.size() < 100000; a = Read(file, 'S', 0, key))
            numbers.push_back(a.number);
        return numbers;
    }
    std::int16_t Write(const char* file, std::int32_t n, Bytes record) {
        block_.recordAddress = reinterpret_cast<std::uintptr_t>(record.data());
        block_.recordLength = static_cast<std::int16_t>(record.size());
        block_.memoAddress = 0;
        block_.status = 99;
        block_.duplicate = 99;
        OECRIREENREG(ctx_, file, n, &block_);
        return block_.status;
    }
    std::int16_t WriteMemo(std::uint16_t memoNumber, const void* data, std::uint32_t length) {
        block_.memoNumber = memoNumber;
        block_.memoAddress = reinterpret_cast<std::uintptr_t>(data);
        OECRIREMEMO(ctx_, length, &block_);
        return block_.status;
    }
    std::string Describe(const char* table = nullptr) {
        std::vector<char> out(65536);
        if (QXHostDescribe(ctx_, table, out.data(), out.size()) != 0) return "<none>";
        return out.data();
    }

    std::string dir_;
    std::uint16_t ctx_ = 0;
    std::string path_;  // of the database last opened
    std::string lastError_;
    std::vector<std::uint16_t> contexts_;
    HostRecordBlock block_{};
};

}  // namespace hosttest
