#include "base/MemoryBlock.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/BlockHeap.h"
#include "tests/unit/TestSupport.h"

using namespace qx;

namespace {

class MemoryBlockTest : public qxtest::EngineTest {};

TEST_F(MemoryBlockTest, SizesAndZeroFill) {
    struct Case {
        std::uint32_t asked;
        bool ok;
        std::size_t usable;
    } cases[] = {{0, true, 16}, {5, true, 16}, {16, true, 16}, {65520, true, 65520}, {65521, false, 0}};
    for (const Case& c : cases) {
        qxtest::MessageCapture capture;
        void* block = AllocBlock(c.asked);
        EXPECT_EQ(block != nullptr, c.ok) << c.asked;
        if (block == nullptr) {
            EXPECT_EQ(capture.LastText(), "Error 1081");
            continue;
        }
        EXPECT_EQ(platform::HeapBlockSize(block), c.usable);
        auto* bytes = static_cast<unsigned char*>(block);
        for (std::size_t i = 0; i < c.usable; ++i) ASSERT_EQ(bytes[i], 0) << i;
        EXPECT_EQ(FreeBlock(block), 1);
        EXPECT_TRUE(capture.Shown().empty());
    }
}

TEST_F(MemoryBlockTest, FreeRecognisesBadAddresses) {
    testing::internal::CaptureStderr();  // without a sink, messages go to stderr
    EXPECT_EQ(FreeBlock(nullptr), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Error 1002"), std::string::npos);
    qxtest::MessageCapture capture;
    EXPECT_EQ(FreeBlock(nullptr), 0);
    EXPECT_EQ(capture.LastText(), "Error 1002");

    int onStack = 0;
    EXPECT_EQ(FreeBlock(&onStack), 0);
    ASSERT_GE(capture.Shown().size(), 3u);
    EXPECT_EQ(capture.Shown()[1].first, "Erreur");  // the GlobalHandle box, no owner
    EXPECT_EQ(capture.LastText(), "Error 1417");

    void* block = AllocBlock(20);
    EXPECT_EQ(FreeBlock(block), 1);
    EXPECT_EQ(FreeBlock(block), 0);  // already freed
    EXPECT_EQ(capture.LastText(), "Error 1417");
}

TEST_F(MemoryBlockTest, InjectedFailureShowsMessageAndLeaksNothing) {
    std::size_t live = platform::HeapLiveBlocks();
    qxtest::MessageCapture capture;
    platform::HeapFailAt(2);
    void* first = AllocBlock(10);
    void* second = AllocLargeBlock(70000);
    void* third = AllocBlock(10);
    platform::HeapFailAt(0);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(third, nullptr);
    ASSERT_EQ(capture.Shown().size(), 1u);
    EXPECT_EQ(capture.Shown()[0].first, "RUNTIME Erreur");
    EXPECT_EQ(capture.Shown()[0].second, "Error 1067");

    platform::HeapFailAt(1);
    EXPECT_EQ(ReallocBlock(first, 4000), nullptr);  // the old block stays with the caller
    platform::HeapFailAt(0);
    FreeBlock(first);
    FreeBlock(third);
    EXPECT_EQ(platform::HeapLiveBlocks(), live);
}

}  // namespace
