// EngineHarness: the SQL engine over the QX file engine in a scratch
// directory, for the tests that damage, kill or fill the files under it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mount.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "obhost.h"
#include "obsqleng.h"
#include "qxhost.h"

namespace enginetest {

inline const ModuleNameTable* HostModules() {
    static ModuleNameEntry entries[8];
    static ModuleNameTable table;
    const char* names[8] = {"libobhost32.so", "OBQXENG.DLL", "OBDBASE.DLL", "OBSQLENG.DLL",
                            "OBCOMPIL.DLL",   "OBIMAGE.DLL", "OBFILES.DLL", "libobhost32.so"};
    for (int i = 0; i < 8; ++i) std::strncpy(entries[i], names[i], sizeof entries[i] - 1);
    table.entries = entries;
    table.lastIndex = 7;
    return &table;
}

struct Rows {
    int rc = 0;
    std::string error;
    std::vector<std::string> lines;
};

inline Rows Exec(std::uint16_t context, const std::string& statement) {
    static std::vector<char> info(1 << 16), line(1 << 16);
    Rows out;
    auto* execInfo = reinterpret_cast<ExecInfo*>(info.data());
    std::uintptr_t handle = 0;
    out.rc = QXSQLExecReq(&handle, statement.c_str(), execInfo, context, 0);
    if (handle == 0) return out;
    char text[255], state[6];
    QXSQLErreur(handle, text, state);
    out.error = text;
    if (out.rc == 0 && execInfo->columnCount != 0) {
        while (QXSQLFetchNext(handle) == 0) {
            if (QXSQLValLine(handle, "|", line.data()) != 0) {  // a value the files could not give
                QXSQLErreur(handle, text, state);
                out.rc = -1;
                out.error = text;
                break;
            }
            out.lines.emplace_back(line.data());
        }
    }
    QXSQLFinRequete(handle);
    return out;
}

class ScratchDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qxsql_crash_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        path_ = root_ + "/db";
        ASSERT_EQ(OB4InitInstance(0, HostModules()), 1);
    }
    void TearDown() override {
        OBSQLFinInstance(0);
        if (!mounted_.empty()) ::umount(mounted_.c_str());
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::uint16_t Open(bool create = false) {
        char error[256];
        std::uint16_t context = QXHostOpen(path_.c_str(), create ? 1 : 0, error, sizeof error);
        lastError_ = error;
        return context;
    }
    std::string root_, path_, lastError_, mounted_;
};

}  // namespace enginetest
