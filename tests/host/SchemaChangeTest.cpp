// OBECRITFICHIER's changes to existing files as the file engine alone can
// check them (the SQL tests cover each statement's refusals): records,
// numbers and memos through changes of layout and name, descending key
// order, and the recovery of a change interrupted between its files.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;

constexpr const char* kAnalysis =
    "ANALYSIS 1\n"
    "FILE CITY\nITEM ID 5 UNIQUE\nITEM NAME 15 6 DUPLICATES\nITEM POP 5\nITEM NOTE 12\nKEY BYPOP DUPLICATES POP\n"
    "FILE ROAD\nITEM ID 5 UNIQUE\nITEM POP 5\nKEY BYPOP DUPLICATES POP\n";

class SchemaChangeTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(OpenWith(kAnalysis, "db"), 0) << lastError_;
        const std::pair<int, const char*> rows[] = {{1, "Paris"}, {2, "Lyon"}, {3, "Nice"}};
        for (auto [id, name] : rows) ASSERT_EQ(Write("CITY", 0, City(id, name, id % 2)), 0);
        ASSERT_EQ(WriteMemo(1, "kept", 4), 0);  // of record 3
        ASSERT_EQ(Read("CITY", 'L', 2).found, true);
        ASSERT_EQ(Write("CITY", -1, {}), 0);  // record 2 deleted: numbers must survive rewrites
    }
    static Bytes City(int id, const char* name, int pop) {
        Bytes r(19, 0);
        hosttest::Put<std::int32_t>(r, 1, id);
        hosttest::PutText(r, 5, 6, name);
        hosttest::Put<std::int32_t>(r, 11, pop);
        return r;
    }
    int Op(int operation, const char* file, const char* name, char kind = 0, std::uint16_t size = 0) {
        FileDescription area{};
        std::strncpy(area.fileName, file, 8);
        std::strncpy(area.itemName, name, 10);
        area.u.item.itemKind = static_cast<std::uint8_t>(kind);
        area.u.item.itemSize = size;
        OBECRITFICHIER(ctx_, operation, &area);
        message_ = area.result > 0 ? area.message : "";
        return area.result;
    }
    int CreateKey(const char* file, const char* name, const char* items, int mode) {
        FileDescription area{};
        std::strncpy(area.fileName, file, 8);
        std::strncpy(area.itemName, name, 10);
        std::strncpy(area.u.keyItems, items, 256);
        area.keyMode = static_cast<std::uint16_t>(mode);
        if (OBECRITFICHIER(ctx_, OBHOST_DESCRIBE_KEY, &area) == 0) OBECRITFICHIER(ctx_, OBHOST_DESCRIBE_CREATE, &area);
        message_ = area.result > 0 ? area.message : "";
        return area.result;
    }
    bool Exists(const char* name) { return std::filesystem::exists(path_ + "/" + name); }

    std::string message_;
};

TEST_F(SchemaChangeTest, ItemsChangeAndRecordsFollow) {
    ASSERT_EQ(Op(OBHOST_DESCRIBE_ADD_ITEM, "CITY", "CODE", 'T', 3), 0) << message_;
    ASSERT_EQ(Op(OBHOST_DESCRIBE_DROP_ITEM, "CITY", "ID"), 0) << message_;  // its key goes with it
    ASSERT_EQ(Op(OBHOST_DESCRIBE_RENAME_FILE, "CITY", "TOWN"), 0) << message_;
    ASSERT_EQ(Op(OBHOST_DESCRIBE_DROP_FILE, "road", ""), 0) << message_;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "after the change" : "after reopening");
        EXPECT_EQ(Describe("TOWN"),
                  "FILE TOWN\nITEM NAME 15 6 DUPLICATES\nITEM POP 5 4\nITEM NOTE 12 4\nITEM CODE 15 4\n"
                  "KEY BYPOP DUPLICATES POP\n");
        hosttest::ReadAnswer a = Read("TOWN", 'L', 3);
        ASSERT_TRUE(a.found);
        EXPECT_EQ(hosttest::GetText(a.record, 1, 6), "Nice");
        EXPECT_EQ(a.record[15], 0);  // the new item starts empty
        std::uintptr_t memo = 0;
        ASSERT_EQ(OGETMEMO(ctx_, "TOWN", hosttest::Get<std::uint32_t>(a.record, 11), 12, &memo), 0);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(memo), 4), "kept");
        EXPECT_FALSE(Read("TOWN", 'L', 2).found);
        EXPECT_EQ(Walk("TOWN", "NAME"), (std::vector<std::uint32_t>{3, 1}));
        EXPECT_FALSE(Exists("CITY.qxd") || Exists("CITY.qxj") || Exists("schema.qxs") || Exists("TOWN.qxn") ||
                     Exists("ROAD.qxd") || Exists("ROAD.qxj"));
        if (pass == 0) Reopen();
    }
}

TEST_F(SchemaChangeTest, DescendingKeysAfterReopening) {
    ASSERT_EQ(Write("CITY", 0, City(4, "Nice", 0)), 0);
    ASSERT_EQ(CreateKey("CITY", "K", "NAME, POP desc, ID DESC", 2), 0) << message_;
    ASSERT_EQ(Op(OBHOST_DESCRIBE_DROP_KEY, "CITY", "ID"), 0) << message_;
    ASSERT_EQ(CreateKey("CITY", "ID", "ID DESC", 1), 0) << message_;
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(Walk("CITY", "K"), (std::vector<std::uint32_t>{3, 2, 1}));  // ID 4 took record 2's free slot
        EXPECT_EQ(Walk("CITY", "ID"), (std::vector<std::uint32_t>{2, 3, 1}));
        if (pass == 0) Reopen();
    }
}

TEST_F(SchemaChangeTest, OpenFinishesACommittedChangeAndDropsAnUnfinishedOne) {
    Close(ctx_);
    // A change stopped before its commit: only temporary files, which go.
    hosttest::WriteText(path_ + "/CITY.qxn", "partial");
    hosttest::WriteText(path_ + "/analysis.qxn", "ANALYSIS 1\n");
    ASSERT_NE(Open(path_), 0) << lastError_;
    EXPECT_FALSE(Exists("CITY.qxn") || Exists("analysis.qxn"));
    // A change stopped after its commit, one rename made: the others are made at open.
    ASSERT_EQ(Op(OBHOST_DESCRIBE_RENAME_FILE, "ROAD", "WAY"), 0) << message_;
    Close(ctx_);
    std::filesystem::rename(path_ + "/WAY.qxd", path_ + "/ROAD.qxd");
    std::filesystem::rename(path_ + "/analysis.qxa", path_ + "/analysis.qxn");
    hosttest::WriteText(path_ + "/schema.qxs", "analysis.qxn analysis.qxa\nROAD.qxd WAY.qxd\nROAD.qxj WAY.qxj\n");
    ASSERT_NE(Open(path_), 0) << lastError_;
    EXPECT_NE(Describe().find("FILE WAY\n"), std::string::npos);
    EXPECT_FALSE(Exists("schema.qxs") || Exists("ROAD.qxd"));
    hosttest::WriteText(path_ + "/schema.qxs", "../x y\n");
    Close(ctx_);
    EXPECT_EQ(Open(path_), 0);
    EXPECT_NE(lastError_.find("is damaged"), std::string::npos) << lastError_;
}

}  // namespace
