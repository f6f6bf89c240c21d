#include "exec/RecordTupleSet.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qx;

namespace {

TEST(RecordTupleSetTest, ColumnsRowsAndLookups) {
    RecordTupleSet set;
    EXPECT_EQ(set.rowEnd, 0);
    ASSERT_EQ(set.AddColumn("A"), 1);
    EXPECT_EQ(set.rowEnd, 1);
    ASSERT_EQ(set.AddColumn("B"), 1);
    std::uint32_t row[] = {7, 9};
    ASSERT_EQ(set.AppendTuple(row, 2), 1);
    EXPECT_EQ(set.rowEnd, 2);
    EXPECT_EQ(set.At(1, set.ColumnIndex("A")), 7u);
    EXPECT_EQ(set.At(1, set.ColumnIndex("B")), 9u);
    EXPECT_EQ(set.ColumnIndex("C"), -1);
    EXPECT_STREQ(set.ColumnName(0), "A");
    EXPECT_EQ(set.ColumnName(2), nullptr);
}

TEST(RecordTupleSetTest, GrowsAndFindsDuplicatesAcrossManyRows) {
    RecordTupleSet set;
    set.AddColumn("T");
    set.AddColumn("U");
    for (std::uint32_t i = 1; i <= 5000; ++i) {
        std::uint32_t row[] = {i, i * 3};
        ASSERT_EQ(set.AppendTuple(row, 2), 1);
        if (i == 100) {  // index built here, then kept up to date by appends
            std::uint32_t probe[] = {50, 150};
            EXPECT_EQ(set.ContainsNumbers(probe), 1);
        }
    }
    EXPECT_GE(set.capacity, 5001);
    std::uint32_t present[] = {4000, 12000}, absent[] = {4000, 12001};
    EXPECT_EQ(set.ContainsNumbers(present), 1);
    EXPECT_EQ(set.ContainsNumbers(absent), 0);

    std::unique_ptr<RecordTupleSet> copy = RecordTupleSet::Copy(set);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rowEnd, set.rowEnd);
    EXPECT_EQ(copy->At(4999, 1), 4999u * 3);
    EXPECT_EQ(copy->ContainsNumbers(present), 1);
}

}  // namespace
