#include "base/List.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

int g_destroyed = 0;

class Named : public ListElement {
public:
    explicit Named(const char* name) : name_(name) {}
    ~Named() override { ++g_destroyed; }
    std::int16_t Compare(const void* keyArgs) const override {
        const char* key = *static_cast<const char* const*>(keyArgs);
        int c = std::strcmp(name_, key);
        return static_cast<std::int16_t>(c < 0 ? -1 : c > 0 ? 1 : 0);
    }

private:
    const char* name_;
};

TEST(ListTest, GrowsByStepOfFour) {
    List list;
    EXPECT_EQ(list.Last(), -1);
    EXPECT_EQ(list.Capacity(), 0);
    EXPECT_EQ(list.GetAt(0), nullptr);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list.Append(new Named("x")), i);
        EXPECT_EQ(list.Capacity(), (i / 4 + 1) * 4) << i;
    }
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(9), nullptr);
}

TEST(ListTest, FindWithKeysSkipsNullsAndHonoursStart) {
    List list;
    list.Append(new Named("A"));
    list.Append(new Named("B"));
    list.Append(new Named("A"));
    const char* keyA = "A";
    const char* keyC = "C";
    EXPECT_EQ(list.Find(0, &keyA), 0);
    EXPECT_EQ(list.Find(1, &keyA), 2);
    EXPECT_EQ(list.Find(0, &keyC), -1);
    EXPECT_EQ(list.Find(3, &keyA), -1);  // beyond last: no comparison made

    ListElement* first = list.GetAt(0);
    list.SetAt(0, nullptr);
    EXPECT_EQ(list.Find(0, &keyA), 2);
    list.SetAt(0, first);
    list.SetAt(7, first);  // outside 0..last: ignored
    EXPECT_EQ(list.Count(), 3);

    List plain;
    plain.Append(new ListElement);
    plain.Append(new ListElement);
    EXPECT_EQ(plain.Find(1, &keyC), 1);  // the base class matches every key
}

TEST(ListTest, DeleteAllAndDetachAll) {
    g_destroyed = 0;
    {
        List list;
        Named a("a"), b("b");
        list.Append(&a);
        list.Append(&b);
        EXPECT_EQ(list.DetachAll(0), 2);
        EXPECT_EQ(list.Last(), 1);  // kept
        EXPECT_EQ(list.GetAt(0), nullptr);
        EXPECT_EQ(list.GetAt(1), nullptr);
        EXPECT_EQ(list.DetachAll(1), 2);
        EXPECT_EQ(list.Last(), -1);
    }
    EXPECT_EQ(g_destroyed, 2);  // only the two stack objects, by their own scope
    g_destroyed = 0;
    {
        List list;
        list.Append(new Named("a"));
        list.Append(nullptr);
        list.Append(new Named("b"));
        list.DeleteAll();
        EXPECT_EQ(g_destroyed, 2);
        EXPECT_EQ(list.Last(), -1);
        EXPECT_EQ(list.Capacity(), 4);  // the array stays
        list.Append(new Named("c"));
    }
    EXPECT_EQ(g_destroyed, 3);
}

TEST(ListTest, GrowthFailureLeavesListUnchanged) {
    qxtest::MessageCapture capture;
    List list;
    for (int i = 0; i < 4; ++i) list.Append(new Named("x"));
    Named* extra = new Named("y");
    platform::HeapFailAt(1);
    EXPECT_EQ(list.Append(extra), -1);
    platform::HeapFailAt(0);
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Capacity(), 4);
    delete extra;  // still the caller's
}

TEST(ListTest, HoldsAtMostTheSixteenBitLimit) {
    List list;
    ListElement shared;
    for (int i = 0; i < List::kMaxEntries; ++i) ASSERT_EQ(list.Append(&shared), i);
    EXPECT_EQ(list.Append(&shared), -1);
    list.DetachAll(1);
}

TEST(ListTest, FailedObjectAllocationGivesNull) {
    platform::HeapFailAt(1);
    Named* n = new Named("z");
    platform::HeapFailAt(0);
    EXPECT_EQ(n, nullptr);
}

}  // namespace
