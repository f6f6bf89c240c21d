// Text and binary memos: writing after the record, reading back through
// OGETMEMO, refusals, and persistence.
#include <gtest/gtest.h>

#include "tests/host/HostTestSupport.h"

namespace {

using hosttest::Bytes;

// M: ID (5 @1), TXT (12 @5), PIC (22 @9), NAME (15 of 4 @13); record 17; memo numbers TXT 1, PIC 2.
const char* kAnalysis = "ANALYSIS 1\nFILE M\nITEM ID 5 UNIQUE\nITEM TXT 12\nITEM PIC 22\nITEM NAME 15 4\n";

class MemoTest : public hosttest::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        ASSERT_NE(OpenWith(kAnalysis), 0) << lastError_;
    }
    static Bytes Rec(std::int32_t id, std::uint32_t txtSlot = 0, std::uint32_t picSlot = 0) {
        Bytes r(17, 0);
        hosttest::Put<std::int32_t>(r, 1, id);
        hosttest::Put<std::uint32_t>(r, 5, txtSlot);
        hosttest::Put<std::uint32_t>(r, 9, picSlot);
        return r;
    }
    // A memo value block with `extra` header bytes after the fixed 74 and `data`.
    static Bytes Block(const Bytes& data, std::uint8_t extra) {
        Bytes b(OBHOST_MEMO_HEADER_SIZE + extra, 0);
        MemoValueBlock h{};
        h.dataLength = static_cast<std::uint32_t>(data.size());
        h.headerExtra = extra;
        std::memcpy(b.data(), &h, sizeof h);
        b[10] = 0x5A;  // a byte of the caller's own header, kept as it is
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }
    std::uint32_t Slot(std::uint32_t n, std::size_t offset) { return hosttest::Get<std::uint32_t>(Read("M", 'L', n).record, offset); }
    std::string Text(std::uint32_t reference) {
        std::uintptr_t out = 0;
        if (OGETMEMO(ctx_, "M", reference, 12, &out) != 0) return "<fail>";
        const char* p = reinterpret_cast<const char*>(out);
        std::uint16_t length;
        std::memcpy(&length, p - 2, 2);
        return std::string(p, length);
    }
    Bytes Binary(std::uint32_t reference) {
        std::uintptr_t out = 0;
        if (OGETMEMO(ctx_, "M", reference, 22, &out) != 0) return {};
        const auto* p = reinterpret_cast<const std::uint8_t*>(out);
        MemoValueBlock h;
        std::memcpy(&h, p, sizeof h);
        EXPECT_EQ(+h.dataOffset, OBHOST_MEMO_HEADER_SIZE + h.headerExtra);
        return Bytes(p + h.dataOffset, p + h.dataOffset + h.dataLength);
    }
};

TEST_F(MemoTest, TextAndBinaryRoundTrip) {
    // The engine's buffer holds parameter numbers in the memo slots; they are not references.
    ASSERT_EQ(Write("M", 0, Rec(1, 1, 2)), 0);
    EXPECT_EQ(Slot(1, 5), 0u);
    EXPECT_EQ(Slot(1, 9), 0u);
    std::string text = "Une note \xC3\xA9t\xC3\xA9 longue";
    EXPECT_EQ(WriteMemo(1, text.data(), static_cast<std::uint32_t>(text.size())), 0);
    Bytes data = {0x01, 0xAB, 0xFF, 0x00, 0x10};
    Bytes block = Block(data, 3);
    block.push_back(0xEE);  // bytes past the announced data are not part of the memo
    EXPECT_EQ(WriteMemo(2, block.data(), static_cast<std::uint32_t>(block.size())), 0);
    EXPECT_EQ(+block_.status, 0);

    std::uint32_t t = Slot(1, 5), b = Slot(1, 9);
    ASSERT_NE(t, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(Text(t), text);
    EXPECT_EQ(Binary(b), data);
    std::uintptr_t handle = 0;
    ASSERT_EQ(OGETMEMO(ctx_, "M", b, 22, &handle), 0);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(handle)[10], 0x5A);

    // A binary memo written without a block header becomes the data of a block.
    ASSERT_EQ(Write("M", 0, Rec(2)), 0);
    Bytes raw = {9, 8, 7};
    ASSERT_EQ(WriteMemo(2, raw.data(), 3), 0);
    EXPECT_EQ(Binary(Slot(2, 9)), raw);

    Reopen();
    EXPECT_EQ(Text(Slot(1, 5)), text);
    EXPECT_EQ(Binary(Slot(1, 9)), data);
}

TEST_F(MemoTest, RefusedMemoWritesAndReads) {
    // No record written yet.
    EXPECT_EQ(WriteMemo(1, "x", 1), QXHOST_STATUS_MEMO);
    ASSERT_EQ(Write("M", 0, Rec(1)), 0);
    EXPECT_EQ(WriteMemo(3, "x", 1), QXHOST_STATUS_MEMO);  // there are two memo items
    // A failure stays in status through later memo writes (which are still carried out),
    // until the next record write.
    EXPECT_EQ(WriteMemo(1, "x", 1), QXHOST_STATUS_MEMO);
    EXPECT_EQ(Text(Slot(1, 5)), "x");
    // After a refused record write, its memos are refused and the duplicate stays visible.
    ASSERT_EQ(Write("M", 0, Rec(1)), QXHOST_STATUS_DUPLICATE);
    WriteMemo(1, "y", 1);
    EXPECT_EQ(+block_.status, QXHOST_STATUS_DUPLICATE);
    EXPECT_EQ(+block_.duplicate, 1);
    EXPECT_EQ(Text(Slot(1, 5)), "x");
    EXPECT_EQ(Text(Slot(1, 9)), "<fail>");  // slot 0: no memo
    std::uintptr_t out = 1;
    EXPECT_NE(OGETMEMO(ctx_, "M", 12345, 12, &out), 0);  // not a memo of this file
    EXPECT_EQ(out, 0u);
    EXPECT_NE(OGETMEMO(ctx_, "M", 4, 7, &out), 0);  // unknown kind
    EXPECT_NE(OGETMEMO(ctx_, "NOSUCH", 4, 12, &out), 0);
}

}  // namespace
