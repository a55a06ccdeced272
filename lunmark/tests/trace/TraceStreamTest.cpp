#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "trace/TraceStream.h"

using lunmark::TraceStream;

TEST(TraceStream, AppendOverflowCompactsThenDropsAndAnEmptiedStreamStartsOver)
{
    auto s = std::make_unique<TraceStream>();
    std::vector<std::uint8_t> chunk(8192, 0x5A);
    // 15 chunks fill 122880 bytes; the 16th would cross the append limit.
    for (int i = 0; i < 15; ++i)
        ASSERT_TRUE(s->append(chunk.data(), 8192));
    for (int i = 0; i < 1000; ++i)
        s->take32();
    const std::uint32_t unread = s->length();
    chunk[0] = 0x77;
    EXPECT_TRUE(s->append(chunk.data(), 8192)); // fits after compaction
    EXPECT_EQ(s->overflow_count(), 1u);
    EXPECT_EQ(s->read_position(), 0u);
    EXPECT_EQ(s->length(), unread + 8192);
    EXPECT_EQ(s->peek(0), 0x5A);
    EXPECT_EQ(s->peek(unread), 0x77);

    // Now nearly full: the next chunk does not fit even compacted.
    EXPECT_FALSE(s->append(chunk.data(), 8192));
    EXPECT_EQ(s->overflow_count(), 2u);
    EXPECT_EQ(s->dropped_bytes(), 8192u);
    EXPECT_EQ(s->length(), unread + 8192);

    // Emptied near the end, it accepts data again.
    while (s->length() > 0)
        s->take32();
    EXPECT_TRUE(s->append(chunk.data(), 8192));
    EXPECT_EQ(s->read_position(), 0u);
    EXPECT_EQ(s->length(), 8192u);
}
