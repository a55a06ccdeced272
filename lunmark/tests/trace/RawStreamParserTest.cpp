#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "TraceTestUtil.h"
#include "trace/FirmwareLineFormatter.h"
#include "trace/FirmwareMessageTable.h"
#include "trace/ModuleNameTable.h"
#include "trace/RawStreamParser.h"

using namespace lunmark;
using namespace lunmark::test;

namespace {

struct Recorder : RawStreamParser::Sink {
    std::vector<FirmwareMessage> messages;
    void firmware_message(const FirmwareMessage& m) override { messages.push_back(m); }
};

struct Streams {
    std::unique_ptr<TraceStream> raw = std::make_unique<TraceStream>();
    std::unique_ptr<TraceStream> m1 = std::make_unique<TraceStream>();
    std::unique_ptr<TraceStream> m2 = std::make_unique<TraceStream>();
    Recorder sink;
    RawStreamParser::Stats parse() { return RawStreamParser::parse(*raw, *m1, *m2, sink); }
};

} // namespace

TEST(RawStreamParser, KeepsTheLast256BytesBack)
{
    Streams s;
    put(*s.raw, {fw_header(0x10, 1, 0)});
    pad(*s.raw, 63); // 256 bytes in all
    s.parse();
    EXPECT_TRUE(s.sink.messages.empty());
    pad(*s.raw, 1); // 260 bytes: exactly one unit is parsed
    s.parse();
    ASSERT_EQ(s.sink.messages.size(), 1u);
    EXPECT_EQ(s.sink.messages[0].id, 0x10);
    EXPECT_EQ(s.raw->length(), 256u);
}

TEST(RawStreamParser, BadCountDiscardedFourBytesAtATime)
{
    Streams s;
    put(*s.raw, {fw_header(0x1234, 5, 3), 7, 8, fw_header(0x0001, 2, 2), 1, 2});
    pad(*s.raw, 64);
    s.parse();
    // The count-3 header goes alone; its "parameters" 7 and 8 are firmware
    // headers of tag 0 and count 0, then the real message follows.
    ASSERT_EQ(s.sink.messages.size(), 3u);
    EXPECT_EQ(s.sink.messages[0].id, 7);
    EXPECT_EQ(s.sink.messages[1].id, 8);
    EXPECT_EQ(s.sink.messages[2].module_tag, 2);
    EXPECT_EQ(s.sink.messages[2].param2, 2u);
}

TEST(RawStreamParser, ModemBlocksOfAtMost64WordsGoToTheirStreams)
{
    Streams s;
    put(*s.raw, {modem_header(65, 0x3E)});
    pad(*s.raw, 65);
    s.parse();
    EXPECT_EQ(s.m1->length(), 0u);

    Streams ok;
    put(*ok.raw, {modem_header(64, 0x3E)});
    for (std::uint32_t i = 0; i < 64; ++i)
        ok.raw->append32(0xBABE0000u + i);
    ok.parse();
    EXPECT_EQ(ok.m1->length(), 256u);
    EXPECT_EQ(ok.m1->peek32(252), 0xBABE003Fu);
    EXPECT_EQ(ok.raw->length(), 0u);

    // A type word that does not match the selector byte (0x013F) is refused.
    Streams two;
    put(*two.raw, {modem_header(1, 0x3F), 42, 0x013F0001u, 43});
    pad(*two.raw, 64);
    two.parse();
    EXPECT_EQ(two.m2->length(), 4u);
    EXPECT_EQ(two.m2->peek32(0), 42u);
}

TEST(RawStreamParser, FirmwareLinesOfKnownAndUnknownMessages)
{
    FirmwareMessageTable messages;
    messages.add_line("02051234=\"a=%d b=%x\"");
    ModuleNameTable modules;
    modules.add(5, "MAC");
    // Message (id, module tag, parameter count, parameters) and its line.
    const std::pair<FirmwareMessage, const char*> cases[] = {
        {{0x1234, 5, 2, 10, 255}, "[MAC] \"a=10 b=ff\" - (0000000a)(0000000ff)"},
        {{0x1234, 6, 2, 1, 2}, "[Unknown] Unknown resource string 02061234( 1, 2 ) - (00000001)(000000002)"},
        {{0x0123, 5, 0, 0, 0}, "[MAC] Unknown resource string 00050123 - (00000000)(000000000)"},
        {{0x0123, 5, 1, 0xFFFFFFFFu, 0}, "[MAC] Unknown resource string 01050123( -1 ) - (ffffffff)(000000000)"},
    };
    for (const auto& [message, line] : cases)
        EXPECT_EQ(FirmwareLineFormatter::line(message, messages, modules), line);
}
