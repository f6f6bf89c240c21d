#include "catalog/HostLink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>

#include "base/MemoryBudget.h"
#include "base/Messages.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

ModuleNameTable MakeTable(ModuleNameEntry* entries, int16_t last) {
    ModuleNameTable table;
    table.entries = entries;
    table.lastIndex = last;
    return table;
}

TEST(HostLinkTest, StartUpNeedsTheHostAndAllSixCallbacks) {
    std::string partial = std::string(QX_TEST_BINARY_DIR) + "/libqxpartialhost.so";
    void* handle = dlopen(partial.c_str(), RTLD_NOW);
    ASSERT_NE(handle, nullptr) << dlerror();
    ModuleNameEntry entries[1] = {};
    std::strncpy(entries[0], "libqxpartialhost.so", sizeof entries[0] - 1);
    ModuleNameTable table = MakeTable(entries, 0);
    EXPECT_EQ(OB4InitInstance(0, &table), 0);  // the callbacks found before the missing one stay set
    EXPECT_EQ(reinterpret_cast<void*>(Host().getInfo), dlsym(handle, "OGETINFOSOBD"));
    dlclose(handle);

    int before = InstanceCount();
    EXPECT_EQ(OB4InitInstance(0, testhost::ModuleTable()), 1);
    EXPECT_TRUE(HostReady());
    EXPECT_EQ(OB4InitInstance(0, testhost::ModuleTable()), 1);
    EXPECT_EQ(InstanceCount(), before + 2);
    OBSQLFinInstance(0);
    OBSQLFinInstance(0);
    EXPECT_EQ(InstanceCount(), before);
    OBSQLFinInstance(0);  // never below 0
    EXPECT_GE(InstanceCount(), 0);
}

TEST(HostLinkTest, LinuxSpellingOfModuleNames) {
    // The test host is loaded; "QXTESTHOST.DLL" finds it as libqxtesthost.so.
    ModuleNameEntry entries[1] = {"QXTESTHOST.DLL"};
    ModuleNameTable table = MakeTable(entries, 0);
    EXPECT_EQ(OB4InitInstance(0, &table), 1);
    OBSQLFinInstance(0);
    ModuleNameEntry exact[1] = {"qxtesthost.so"};  // ends in .so: tried as given only
    table = MakeTable(exact, 0);
    EXPECT_EQ(OB4InitInstance(0, &table), 0);
}

TEST(HostLinkTest, SettingsComeFromTheProfile) {
    char path[] = "/tmp/qxiniXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    constexpr std::uint64_t kDefault = ~0ULL;  // the statement memory limit without a usable key
    struct Case {
        const char* content;
        int english;
        std::uint64_t memoryLimit;
    } cases[] = {
        {"[OMBREL]\nLANGUAGE=USA\n", 1, kDefault},
        {"[ombrel]\n  language = uSa  \n", 1, kDefault},
        {"[OMBREL]\nLANGUAGE=ENGLISH\n", 0, kDefault},
        {"[OTHER]\nLANGUAGE=USA\nSQL_MEMORY_LIMIT=5M\n", 0, kDefault},
        {"; nothing\n", 0, kDefault},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=64M\n", 0, 64ULL << 20},
        {"[ombrel]\nsql_memory_limit = 512kb\nLANGUAGE=USA\n", 1, 512ULL << 10},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=3g\n", 0, 3ULL << 30},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=123456\n", 0, 123456},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=0\n", 0, 0},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=-5M\n", 0, kDefault},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=12 MB\n", 0, kDefault},
        {"[OMBREL]\nSQL_MEMORY_LIMIT=99999999999G\n", 0, kDefault},
    };
    const char* saved = std::getenv("OMBREL_INI");
    std::string savedValue = saved ? saved : "";
    setenv("OMBREL_INI", "/nonexistent/ombrel.ini", 1);
    ASSERT_EQ(OB4InitInstance(0, testhost::ModuleTable()), 1);
    std::uint64_t defaultLimit = StatementMemoryLimit();
    OBSQLFinInstance(0);
    EXPECT_GT(defaultLimit, 0u);
    EXPECT_LE(defaultLimit, 1ULL << 30);
    setenv("OMBREL_INI", path, 1);
    for (const Case& c : cases) {
        FILE* f = std::fopen(path, "w");
        std::fputs(c.content, f);
        std::fclose(f);
        ASSERT_EQ(OB4InitInstance(0, testhost::ModuleTable()), 1);
        EXPECT_EQ(EnglishMessages(), c.english) << c.content;
        EXPECT_EQ(StatementMemoryLimit(), c.memoryLimit == kDefault ? defaultLimit : c.memoryLimit) << c.content;
        EXPECT_STREQ(MessageText(kMsgOutOfMemory), c.english ? "Out of memory" : "Mémoire insuffisante");
        OBSQLFinInstance(0);
    }
    setenv("OMBREL_INI", "/nonexistent/ombrel.ini", 1);
    ASSERT_EQ(OB4InitInstance(0, testhost::ModuleTable()), 1);
    EXPECT_EQ(EnglishMessages(), 0);
    OBSQLFinInstance(0);
    if (saved) setenv("OMBREL_INI", savedValue.c_str(), 1); else unsetenv("OMBREL_INI");
    close(fd);
    std::remove(path);
    SetEnglishMessages(0);
}

}  // namespace
