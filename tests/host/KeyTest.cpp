// Key order reads (P, S), composite keys, and the order of each kind of
// value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;

// K: ID (5 @1, unique), CAT (3 @5, duplicates), R (9 @7), TXT (15 of 6 @15, unique), B (1 @21),
// KEY CATR over CAT,R (duplicates), KEY CATID over CAT,ID (unique); record 22 bytes.
const char* kAnalysis =
    "ANALYSIS 1\n"
    "FILE K\n"
    "ITEM ID 5 UNIQUE\n"
    "ITEM CAT 3 DUPLICATES\n"
    "ITEM R 9\n"
    "ITEM TXT 15 6 UNIQUE\n"
    "ITEM B 1\n"
    "KEY CATR DUPLICATES CAT,R\n"
    "KEY CATID UNIQUE CAT,ID\n";

class KeyTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(OpenWith(kAnalysis), 0) << lastError_;
    }
    static Bytes Rec(std::int32_t id, std::int16_t cat, double r, const std::string& txt, std::int8_t b = 0) {
        Bytes rec(22, 0);
        hosttest::Put<std::int32_t>(rec, 1, id);
        hosttest::Put<std::int16_t>(rec, 5, cat);
        hosttest::Put<double>(rec, 7, r);
        hosttest::PutText(rec, 15, 6, txt);
        hosttest::Put<std::int8_t>(rec, 21, b);
        return rec;
    }
    void Add(const Bytes& rec) { ASSERT_EQ(Write("K", 0, rec), 0); }
};

TEST_F(KeyTest, EachKeyReadsInItsOwnOrder) {
    Add(Rec(30, 2, 1.5, "pear", -5));      // 1
    Add(Rec(-7, 1, -0.25, "apple", 100));  // 2
    Add(Rec(12, 2, -3.0, "Zed", 0));       // 3
    Add(Rec(0, -4, 1e10, "fig", -128));    // 4
    Add(Rec(1000, 1, -0.25, "", 1));       // 5
    EXPECT_EQ(Walk("K", "ID"), (std::vector<std::uint32_t>{2, 4, 3, 1, 5}));   // signed integers
    EXPECT_EQ(Walk("K", "TXT"), (std::vector<std::uint32_t>{5, 3, 2, 4, 1}));  // bytes: "" < "Zed" < "apple"
    // CAT with duplicates: equal values by record number.
    EXPECT_EQ(Walk("K", "CAT"), (std::vector<std::uint32_t>{4, 2, 5, 1, 3}));
    // CAT then R (reals, negative ones first); 2 and 5 tie on both and follow by number.
    EXPECT_EQ(Walk("K", "CATR"), (std::vector<std::uint32_t>{4, 2, 5, 3, 1}));
    EXPECT_EQ(Walk("K", "catid"), (std::vector<std::uint32_t>{4, 2, 5, 3, 1}));
    // No key name: record number order.
    EXPECT_EQ(Walk("K", ""), (std::vector<std::uint32_t>{1, 2, 3, 4, 5}));
    // A key over an item that has none is unknown.
    EXPECT_EQ(Read("K", 'P', 0, "R").status, QXHOST_STATUS_UNKNOWN);
}

TEST_F(KeyTest, ReadsFollowWritesAndDeletes) {
    for (int i = 1; i <= 5; ++i) Add(Rec(i * 10, 0, 0, "t" + std::to_string(i)));
    auto a = Read("K", 'P', 0, "ID");
    ASSERT_EQ(a.number, 1u);
    a = Read("K", 'S', 0, "ID");
    ASSERT_EQ(a.number, 2u);
    // Delete the record just read (2) and move record 4 before everything: S goes on
    // from the place it had (after 20) in the key's current order.
    ASSERT_EQ(Write("K", -1, {}), 0);
    ASSERT_EQ(Write("K", 4, Rec(5, 0, 0, "t4")), 0);
    EXPECT_EQ(Read("K", 'S', 0, "ID").number, 3u);
    EXPECT_EQ(Read("K", 'S', 0, "ID").number, 5u);
    auto end = Read("K", 'S', 0, "ID");
    EXPECT_TRUE(end.outOfFile);
    EXPECT_FALSE(end.found);
    EXPECT_TRUE(Read("K", 'S', 0, "ID").outOfFile);  // stays at the end
    EXPECT_EQ(Walk("K", "ID"), (std::vector<std::uint32_t>{4, 1, 3, 5}));
    // S goes on from the last P/S of its key; without one, from the last record read.
    ASSERT_TRUE(Read("K", 'L', 1).found);
    EXPECT_TRUE(Read("K", 'S', 0, "ID").outOfFile);
    ASSERT_TRUE(Read("K", 'L', 1).found);
    EXPECT_EQ(Read("K", 'S', 0, "TXT").number, 3u);  // t1 -> t3
    // The order is rebuilt from the records when the database opens again.
    Reopen();
    EXPECT_EQ(Walk("K", "ID"), (std::vector<std::uint32_t>{4, 1, 3, 5}));
    EXPECT_EQ(Walk("K", "TXT"), (std::vector<std::uint32_t>{1, 3, 4, 5}));
}

TEST_F(KeyTest, RealsOrderAcrossSignsAndZeroIsOneValue) {
    const double values[] = {3.5, -1e300, 0.0, -2.0, 1e-300, -0.5, 2.0};
    for (int i = 0; i < 7; ++i) Add(Rec(i, 0, values[i], "v" + std::to_string(i)));
    std::vector<double> seen;
    for (std::uint32_t n : Walk("K", "CATR")) seen.push_back(values[n - 1]);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    // -0.0 and 0.0 collide in the unique key CATID? No: CATID is CAT,ID. Use a unique real key.
    ASSERT_EQ(Write("K", 0, Rec(100, 0, -0.0, "negzero")), 0);
    EXPECT_EQ(Walk("K", "CATR").size(), 8u);
}

}  // namespace
