#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "trace/DataDirectory.h"
#include "trace/FirmwareLineFormatter.h"
#include "trace/FirmwareMessageTable.h"
#include "trace/IniReader.h"
#include "trace/SafeFormatter.h"

using namespace lunmark;

namespace {

std::string fmt(const std::string& text, std::vector<std::uint32_t> params = {})
{
    return SafeFormatter::format(text, params, 511);
}

} // namespace

TEST(SafeFormatter, IntegerConversionsWithFlags)
{
    EXPECT_EQ(fmt("%d|%i|%u", {0xFFFFFFFFu, 5, 0xFFFFFFFFu}), "-1|5|4294967295");
    EXPECT_EQ(fmt("%x %X %#x %#o %o", {255, 255, 255, 8}), "ff FF 0xff 010 0");
    EXPECT_EQ(fmt("[%5d][%-5d][%05d][%+d][% d]", {42, 42, 42, 42, 42}), "[   42][42   ][00042][+42][ 42]");
    EXPECT_EQ(fmt("[%.3d][%08.3x][%.0d][%c%c]", {7, 0xab, 0, 'O', 'K'}), "[007][     0ab][][OK]");
    EXPECT_EQ(fmt("%hd %hhu %lx %I64d %%", {0x18000u, 0x1FFu, 0x10u, 3}), "-32768 255 10 3 %");
    // Beyond the parameters: rendered as 0.
    EXPECT_EQ(fmt("%d %d %d", {1}), "1 0 0");
}

TEST(SafeFormatter, HostileTextsNeverReadMemory)
{
    EXPECT_EQ(fmt("%s and %n and %p and %f then %d", {1, 2, 3, 4, 5}),
              "%s and %n and %p and %f then 5");
    EXPECT_EQ(fmt("%*d|%.*d|%d", {9, 8, 7}), "%*d|%.*d|7");
    const std::string wide = fmt("%99999d", {1});
    EXPECT_EQ(wide.size(), 511u);
    EXPECT_EQ(wide.back(), '1');
    EXPECT_EQ(fmt("%.99999999999999999999d", {1}).size(), 511u);
    // A conversion that runs past the limit is cut there.
    EXPECT_EQ(fmt(std::string(500, 'x') + "%20d", {1}), std::string(500, 'x') + std::string(11, ' '));
    EXPECT_EQ(fmt("100%"), "100%");
    EXPECT_EQ(fmt("%-"), "%-");

    FirmwareMessageTable table;
    table.add_line("00010001=\"" + std::string(600, 'x') + "\"");
    EXPECT_EQ(FirmwareLineFormatter::body({.id = 1, .module_tag = 1}, table).size(), 511u);
}

TEST(IniMessages, QuotingAndKeyRules)
{
    IniReader ini;
    ini.load_text("; comment\n"
                  "[Second]\n"
                  "01050123=\"Rx %d\"\n"
                  "01050124=Rx %d\"\n"
                  "0105ABCD=\"upper\"\n"
                  "=\"no key\"\n"
                  "  01050125  =  \"spaced\"  \r\n"
                  "[First]\n"
                  "01050123=\"later duplicate\"\n"
                  "00050126=\"x\"\"y\"=\"z\"\n");
    EXPECT_EQ(ini.section_names(), (std::vector<std::string>{"Second", "First"}));
    FirmwareMessageTable table;
    table.load(ini);
    ASSERT_NE(table.find("01050123"), nullptr);
    EXPECT_EQ(*table.find("01050123"), "\"Rx %d\"");
    EXPECT_EQ(table.find("01050124"), nullptr);
    EXPECT_EQ(*table.find("01050125"), "\"spaced\"");
    EXPECT_EQ(*table.find("00050126"), "\"x\"\"y\"=\"z\"");
    EXPECT_EQ(table.size(), 4u); // 0105ABCD is stored, under its upper-case key

    const auto body = [&](std::uint16_t id) {
        return FirmwareLineFormatter::body({.id = id, .module_tag = 5, .param_count = 1, .param1 = 9}, table);
    };
    EXPECT_EQ(body(0x0123), "\"Rx 9\"");
    EXPECT_EQ(body(0xABCD), "Unknown resource string 0105abcd( 9 )");
}

TEST(IniMessages, ThirtyThousandByteBuffers)
{
    std::string text = "[S]\n";
    for (int i = 0; i < 2000; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "%08x", i);
        text += std::string(key) + "=\"message number one two\"\n"; // 33 bytes with NUL
    }
    // 882 whole lines of 34 bytes, then the 883rd cut to the 10 bytes left.
    ktest::TempDir dir;
    FirmwareMessageTable table;
    ASSERT_TRUE(table.load(dir.Write("m.ini", text)));
    EXPECT_EQ(table.size(), 883u);
    EXPECT_EQ(*table.find("00000372"), "\"");
    EXPECT_EQ(table.find("00000373"), nullptr);

    // A file past the read limit (sparse: NUL bytes after the first lines) is
    // cut after its last whole line within the limit, and said so.
    const std::string big = dir.Write("big.ini", "[S]\n00000001=\"first\"\n");
    std::filesystem::resize_file(big, std::uintmax_t{300} << 20);
    std::vector<std::string> said;
    ASSERT_TRUE(table.load(big, [&](const std::string& t) { said.push_back(t); }));
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(said, std::vector<std::string>{"[INI_READER] File larger than 1048576 bytes, the rest is not read - " + big});
}

TEST(DataDirectory, BareNamesGoToTheDataDirectory)
{
    ::setenv("LUNMARK_DATA_DIR", "/data/dir", 1);
    EXPECT_EQ(DataDirectory::resolve("a.ini"), "/data/dir/a.ini");
    EXPECT_EQ(DataDirectory::resolve("./a.ini"), "./a.ini");
    ::unsetenv("LUNMARK_DATA_DIR");
    FirmwareMessageTable table;
    EXPECT_FALSE(table.load("/nonexistent/zentil_ReportMessages.ini"));
}
