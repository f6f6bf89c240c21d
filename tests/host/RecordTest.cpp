// Record reads by number, adds, rewrites, deletes, and their persistence;
// several databases at once; layouts the records no longer fit.
#include <gtest/gtest.h>

#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;

// T: NUM (5, offset 1), NAME (15 of 11, offset 5), D (98 of 9, offset 16), AR (3 x 2, offset 25),
// NOTE (12, offset 31), KEY BYNAME over NAME,NUM; record 35 bytes.
const char* kAnalysis =
    "ANALYSIS 1\n"
    "FILE T\n"
    "ITEM NUM 5 UNIQUE\n"
    "ITEM NAME 15 11 DUPLICATES\n"
    "ITEM D 98 9\n"
    "ITEM AR 3 2 ARRAY 3\n"
    "ITEM NOTE 12\n"
    "KEY BYNAME DUPLICATES NAME,NUM\n";

class RecordTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(OpenWith(kAnalysis), 0) << lastError_;
    }
    Bytes Rec(std::int32_t num, const std::string& name) {
        Bytes r(35, 0);
        Put<std::int32_t>(r, 1, num);
        hosttest::PutText(r, 5, 11, name);
        return r;
    }
    template <typename T>
    static void Put(Bytes& r, std::size_t o, T v) { hosttest::Put<T>(r, o, v); }
};

TEST_F(RecordTest, AddReadRewriteDeleteByNumber) {
    EXPECT_TRUE(Read("T", 'L', 1).outOfFile);  // empty file
    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(Write("T", 0, Rec(i, "N" + std::to_string(i))), 0);
        EXPECT_EQ(+block_.recordNumber, static_cast<std::uint32_t>(i));
        EXPECT_EQ(+block_.duplicate, 0);
    }
    auto a = Read("T", 'L', 2);
    ASSERT_TRUE(a.found);
    EXPECT_EQ(a.status, 0);
    EXPECT_FALSE(a.outOfFile);
    EXPECT_EQ(a.record.size(), 35u);
    EXPECT_EQ(hosttest::Get<std::int32_t>(a.record, 1), 2);
    EXPECT_EQ(hosttest::GetText(a.record, 5, 11), "N2");

    ASSERT_EQ(Write("T", 2, Rec(20, "TWENTY")), 0);  // rewrite
    EXPECT_EQ(hosttest::Get<std::int32_t>(Read("T", 'L', 2).record, 1), 20);

    ASSERT_TRUE(Read("T", 'L', 2).found);
    ASSERT_EQ(Write("T", -1, {}), 0);  // delete the last read
    auto deleted = Read("T", 'L', 2);
    EXPECT_EQ(deleted.status, 0);
    EXPECT_FALSE(deleted.found);
    EXPECT_FALSE(deleted.outOfFile);
    EXPECT_TRUE(Read("T", 'L', 3).found);  // numbers keep their place
    EXPECT_TRUE(Read("T", 'L', 4).outOfFile);

    // Rewriting or deleting a record that is not live is refused.
    EXPECT_EQ(Write("T", 2, Rec(2, "X")), QXHOST_STATUS_NO_RECORD);
    EXPECT_EQ(Write("T", 9, Rec(9, "X")), QXHOST_STATUS_NO_RECORD);
    Read("T", 'L', 2);
    EXPECT_EQ(Write("T", -1, {}), QXHOST_STATUS_NO_RECORD);
    // A new record takes a deleted record's slot before the file grows.
    ASSERT_EQ(Write("T", 0, Rec(4, "N4")), 0);
    EXPECT_EQ(+block_.recordNumber, 2u);
    // Three adds, a rewrite, a delete and this add succeeded; refusals do not count.
    EXPECT_EQ(QXHostChangeCount(ctx_), 6u);
    ASSERT_TRUE(Read("T", 'L', 1).found);
    ASSERT_EQ(Write("T", -1, {}), 0);

    Reopen();  // free slots are found again at open
    EXPECT_FALSE(Read("T", 'L', 1).found);
    EXPECT_FALSE(Read("T", 'L', 1).outOfFile);
    EXPECT_EQ(hosttest::GetText(Read("T", 'L', 2).record, 5, 11), "N4");
    EXPECT_TRUE(Read("T", 'L', 4).outOfFile);
    ASSERT_EQ(Write("T", 0, Rec(5, "N5")), 0);
    EXPECT_EQ(+block_.recordNumber, 1u);
}

TEST_F(RecordTest, ShortRecordsArePaddedAndBadRequestsRefused) {
    Bytes shortRecord(5, 0);
    Put<std::int32_t>(shortRecord, 1, 7);
    ASSERT_EQ(Write("T", 0, shortRecord), 0);
    auto a = Read("T", 'L', 1);
    EXPECT_EQ(a.record.size(), 35u);
    EXPECT_EQ(a.record[34], 0);
    EXPECT_EQ(Write("T", 0, Bytes(36, 0)), QXHOST_STATUS_REQUEST);  // longer than a record
    EXPECT_EQ(Write("T", -2, Rec(1, "X")), QXHOST_STATUS_REQUEST);
    EXPECT_EQ(Write("NOSUCH", 0, Rec(1, "X")), QXHOST_STATUS_UNKNOWN);
    EXPECT_EQ(Read("NOSUCH", 'L', 1).status, QXHOST_STATUS_UNKNOWN);
    EXPECT_EQ(Read("T", 'L', 0).status, QXHOST_STATUS_REQUEST);
    EXPECT_EQ(Read("T", 'Q', 1).status, QXHOST_STATUS_REQUEST);
    EXPECT_EQ(Read("T", 'P', 0, "NOKEY").status, QXHOST_STATUS_UNKNOWN);
}

TEST_F(RecordTest, SeveralDatabasesAtOnce) {
    std::uint16_t first = ctx_;
    std::uint16_t second = OpenWith("ANALYSIS 1\nFILE T\nITEM V 9\n", "other");
    ASSERT_NE(second, 0) << lastError_;
    ASSERT_NE(first, second);
    ctx_ = first;
    ASSERT_EQ(Write("T", 0, Rec(1, "FIRST")), 0);
    ctx_ = second;
    Bytes r(9, 0);
    Put<double>(r, 1, 2.5);
    ASSERT_EQ(Write("T", 0, r), 0);
    ASSERT_EQ(Write("T", 0, r), 0);
    EXPECT_EQ(hosttest::Get<double>(Read("T", 'L', 2).record, 1), 2.5);
    ctx_ = first;
    EXPECT_TRUE(Read("T", 'L', 2).outOfFile);
    EXPECT_EQ(hosttest::GetText(Read("T", 'L', 1).record, 5, 11), "FIRST");
    // A second connection to the same directory, in the same process, sees the first's rows.
    std::uint16_t again = Open(dir_);
    ASSERT_NE(again, 0) << lastError_;
    EXPECT_EQ(hosttest::GetText(Read("T", 'L', 1).record, 5, 11), "FIRST");
    Close(again);
    Close(second);
    ctx_ = second;
    EXPECT_EQ(Read("T", 'L', 1).status, QXHOST_STATUS_UNKNOWN);
}

TEST_F(RecordTest, HandEditedDuplicatesInAUniqueKeyAreRefusedAtOpen) {
    ASSERT_EQ(Write("T", 0, Rec(1, "SAME")), 0);
    ASSERT_EQ(Write("T", 0, Rec(2, "SAME")), 0);
    Close(ctx_);
    std::string text = kAnalysis;
    text.replace(text.find("NAME 15 11 DUPLICATES"), 21, "NAME 15 11 UNIQUE");
    hosttest::WriteText(dir_ + "/analysis.qxa", text);
    EXPECT_EQ(Open(dir_), 0);
    EXPECT_NE(lastError_.find("unique key NAME: records 1 and 2 hold the same value"), std::string::npos)
        << lastError_;
}

}  // namespace
