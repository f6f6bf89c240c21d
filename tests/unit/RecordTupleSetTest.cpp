#include "exec/RecordTupleSet.h"

#include <gtest/gtest.h>

#include <string>

#include "base/List.h"
#include "exec/ConditionResult.h"
#include "parser/SyntaxNode.h"
#include "platform/BlockHeap.h"

using namespace qx;

namespace {

// "A=1,B=2" -> tuple chain
SyntaxNode* Tuple(const std::vector<std::pair<const char*, int>>& parts) {
    SyntaxNode* first = nullptr;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) first = SyntaxNode::Make(it->first, it->second, 0, nullptr, first);
    return first;
}

std::string Describe(const SyntaxNode* tuple) {
    std::string s;
    for (; tuple != nullptr; tuple = tuple->next) s += std::string(tuple->text) + "=" + std::to_string(tuple->kind) + " ";
    return s;
}

TEST(RecordTupleSetTest, ColumnsRowsAndLookups) {
    RecordTupleSet set;
    EXPECT_EQ(set.rowEnd, 0);
    EXPECT_EQ(set.ColumnCount(), 0);
    ASSERT_EQ(set.AddColumn("A"), 1);
    EXPECT_EQ(set.rowEnd, 1);
    EXPECT_EQ(set.capacity, 1024);
    ASSERT_EQ(set.AddColumn("B"), 1);
    std::uint32_t row[] = {7, 9};
    ASSERT_EQ(set.AppendTuple(row, 2), 1);
    EXPECT_EQ(set.rowEnd, 2);
    EXPECT_EQ(set.RecordNumber(1, "A"), 7);
    EXPECT_EQ(set.RecordNumber(1, "B"), 9);
    EXPECT_EQ(set.RecordNumber(1, "C"), -1);

    SyntaxNode* t = set.GetTuple(1);
    EXPECT_EQ(Describe(t), "A=7 B=9 ");
    delete t;
    EXPECT_EQ(set.GetTuple(2), nullptr);

    SyntaxNode* reversed = Tuple({{"B", 9}, {"A", 7}});
    SyntaxNode* ordered = set.ReorderTuple(reversed);
    EXPECT_EQ(Describe(ordered), "A=7 B=9 ");
    EXPECT_EQ(set.ContainsTuple(reversed, 0), 1);
    EXPECT_EQ(set.ContainsTuple(reversed, 1), 0);  // taken as given: A=9 B=7
    EXPECT_EQ(set.AppendTupleNodes(reversed, 0), 1);
    EXPECT_EQ(set.RecordNumber(2, "A"), 7);
    delete reversed;
    delete ordered;
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

    RecordTupleSet* copy = RecordTupleSet::Copy(set);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rowEnd, set.rowEnd);
    EXPECT_EQ(copy->RecordNumber(4999, "U"), 4999 * 3);
    EXPECT_EQ(copy->ContainsNumbers(present), 1);
    delete copy;
}

}  // namespace
