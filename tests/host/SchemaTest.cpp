// OBECRITFICHIER: each refusal of a file or key description.
#include <gtest/gtest.h>

#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;

class SchemaTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(Open(dir_ + "/db", 1), 0) << lastError_;
    }
    // One call with the area as the engine leaves it; returns result (message in message_).
    int Op(int operation) {
        area_.result = -7;
        int r = OBECRITFICHIER(ctx_, operation, &area_);
        EXPECT_EQ(r, area_.result);
        message_ = area_.result > 0 ? area_.message : "";
        return area_.result;
    }
    int BeginFile(const char* name) {
        area_ = FileDescription{};
        std::strncpy(area_.fileName, name, 8);
        std::strcpy(area_.fileSuffix, "__");
        return Op(0);
    }
    int AddItem(const char* name, char kind, std::uint16_t size = 0) {
        std::strncpy(area_.itemName, name, 10);
        area_.u.item.itemKind = static_cast<std::uint8_t>(kind);
        area_.u.item.itemSize = size;
        return Op(1);
    }
    int CreateKey(const char* file, const char* name, const char* items, int mode) {
        area_ = FileDescription{};
        std::strncpy(area_.itemName, name, 10);
        std::strncpy(area_.fileName, file, 8);
        std::strncpy(area_.u.keyItems, items, 256);
        area_.keyMode = static_cast<std::uint16_t>(mode);
        int r = Op(2);
        return r > 0 ? r : Op(3);
    }
    int CreatePeople() {
        if (int r = BeginFile("PEOPLE")) return r;
        const std::pair<const char*, char> items[] = {{"BORN", 'A'}, {"ID", 'L'}, {"AT", 'H'}, {"AGE", 'E'},
                                                      {"SCORE", 'S'}, {"BIG", 'D'}, {"FLAG", 'C'}};
        for (const auto& [name, kind] : items)
            if (int r = AddItem(name, kind)) return r;
        if (int r = AddItem("NAME", 'T', 5)) return r;
        return Op(3);
    }

    FileDescription area_{};
    std::string message_;
};

TEST_F(SchemaTest, CreateTableRefusals) {
    ASSERT_EQ(CreatePeople(), 0) << message_;
    struct Case {
        const char* file;
        const char* item;
        char kind;
        int failingOp;
        const char* message;
    };
    const Case cases[] = {
        {"PEOPLE", "X", 'L', 0, "File 'PEOPLE' already exists"},
        {"people", "X", 'L', 0, "File 'PEOPLE' already exists"},
        {"1BAD", "X", 'L', 0, "Invalid file name"},
        {"NEWT", "X", 'X', 1, "Unsupported type for item 'X' of file 'NEWT'"},
        {"NEWT", "X", '?', 1, "Unsupported type"},
        {"NEWT", "", 'L', 1, "Invalid item name"},
        {"NEWT", "DUP", 'L', 1, "Item 'DUP' appears twice in file 'NEWT'"},
    };
    for (const Case& c : cases) {
        int r = BeginFile(c.file);
        if (c.failingOp == 0) {
            EXPECT_GT(r, 0) << c.message;
        } else {
            ASSERT_EQ(r, 0) << message_;
            if (std::string(c.item) == "DUP") {
                ASSERT_EQ(AddItem("DUP", 'L'), 0);
            }
            EXPECT_GT(AddItem(c.item, c.kind), 0) << c.message;
        }
        EXPECT_NE(message_.find(c.message), std::string::npos) << message_;
        EXPECT_GT(Op(3), 0) << "a refused description is dropped";
    }
    EXPECT_GT(Op(3), 0);
    EXPECT_EQ(message_, "Nothing was described to create");
    EXPECT_EQ(QXHostTableCount(ctx_), 1);
    EXPECT_EQ(Op(99), 1);
    // An unknown context refuses too.
    ctx_ = 9999;
    EXPECT_GT(BeginFile("OTHER"), 0);
    EXPECT_NE(message_.find("Unknown database context"), std::string::npos);
}

TEST_F(SchemaTest, CreateIndexRefusals) {
    ASSERT_EQ(CreatePeople(), 0) << message_;
    for (int i = 0; i < 2; ++i) ASSERT_EQ(Write("PEOPLE", 0, Bytes(39, 0)), 0);  // AGE 0 twice
    ASSERT_EQ(CreateKey("PEOPLE", "K1", "ID,AGE", 2), 0) << message_;
    struct Case {
        const char* file;
        const char* name;
        const char* items;
        int mode;
        const char* message;
    };
    const Case cases[] = {
        {"NOFILE", "K", "ID", 1, "Unknown file 'NOFILE'"},
        {"PEOPLE", "K", "ID,NOPE", 1, "Unknown item 'NOPE' in key 'K' of file 'PEOPLE'"},
        {"PEOPLE", "K", "", 1, "Key 'K' names no item"},
        {"PEOPLE", "K", "ID,ID", 1, "Item 'ID' appears twice in key 'K'"},
        {"PEOPLE", "K", "ID", 3, "Invalid key mode 3"},
        {"PEOPLE", "K1", "AGE", 2, "already has a key named 'K1'"},
        {"PEOPLE", "NAME", "AGE", 2, "already has an item or key named 'NAME'"},
        {"PEOPLE", "AGE", "AGE", 1, "Cannot create unique key AGE on file PEOPLE: records 1 and 2"},
        {"PEOPLE", "K2", "AGE,FLAG", 1, "Cannot create unique key K2"},
    };
    std::string before = Describe();
    for (const Case& c : cases) {
        EXPECT_GT(CreateKey(c.file, c.name, c.items, c.mode), 0) << c.message;
        EXPECT_NE(message_.find(c.message), std::string::npos) << message_;
    }
    EXPECT_EQ(Describe(), before);
    EXPECT_EQ(hosttest::ReadText(dir_ + "/db/analysis.qxa"), before);
    ASSERT_EQ(CreateKey("PEOPLE", "AGE", "AGE", 2), 0) << message_;
    EXPECT_GT(CreateKey("PEOPLE", "AGE", "AGE", 2), 0);
    EXPECT_NE(message_.find("Item 'AGE' of file 'PEOPLE' is already a key"), std::string::npos) << message_;
}

}  // namespace
