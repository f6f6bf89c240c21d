// The exported memo calls over one context.
#include <gtest/gtest.h>

#include <cstring>

#include "obsqleng.h"
#include "platform/BlockHeap.h"

namespace {

using namespace qx;

TEST(ContextTest, ExportsWorkTogetherAndReleaseEverything) {
    std::size_t live = platform::HeapLiveBlocks();
    void* context = QXSQL_OBMS_Alloc();
    ASSERT_NE(context, nullptr);
    char buffer[128];
    std::strcpy(buffer, "{OBMemoBinaire('x','Field')} {OBMemoBinaire('y')}");
    EXPECT_EQ(QXSQL_OBMS_Scan(context, buffer), 2);
    EXPECT_EQ(QXSQL_OBMS_Scan(context, "{OBMemoBinaire('z')}"), 1);  // a new scan empties the context
    char name[16];
    std::int32_t kind = -1;
    EXPECT_EQ(QXSQL_OBMS_GetMemoInfo(context, 0, name, sizeof name, &kind), 1);
    EXPECT_STREQ(name, "z");
    EXPECT_EQ(QXSQL_OBMS_Scan(context, buffer), 2);
    EXPECT_EQ(QXSQL_OBMS_GetMemoInfo(context, 0, name, sizeof name, &kind), 1);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(QXSQL_OBMS_ReplaceMemo(context, buffer, 0, "?", sizeof buffer), 1);
    EXPECT_EQ(QXSQL_OBMS_ReplaceMemo(context, buffer, 1, "?", sizeof buffer), 1);
    EXPECT_STREQ(buffer, "? ?");
    QXSQL_OBMS_Free(context);
    QXSQL_OBMS_Free(nullptr);
    EXPECT_EQ(QXSQL_OBMS_Scan(nullptr, buffer), 0);
    EXPECT_EQ(platform::HeapLiveBlocks(), live);
}

}  // namespace
