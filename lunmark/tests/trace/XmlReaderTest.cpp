#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TempDir.h"
#include "trace/ModuleNameTable.h"
#include "trace/XmlElement.h"

using namespace lunmark;
using Pairs = std::vector<std::pair<std::uint32_t, std::string>>;

namespace {

std::unique_ptr<xml_main> parsed(const std::string& text)
{
    std::istringstream in(text);
    auto doc = std::make_unique<xml_main>();
    doc->parse_stream(in);
    return doc;
}

Pairs table_of(const std::string& text)
{
    ModuleNameTable table;
    table.load(*parsed(text));
    return table.entries();
}

} // namespace

TEST(XmlReader, ModuleNamesFromTheirAttributes)
{
    const std::string six_lines = "  <Config>\n"
                                  "    <ModulesList name=\"Elements\">\n"
                                  "      <Module name=\"MAC\" tag=\"3\"/>\n"
                                  "      <Module name=\"PHY\" tag=\"4\"/>\n"
                                  "    </ModulesList>\n"
                                  "  </Config>\n";
    EXPECT_EQ(table_of(six_lines), (Pairs{{3, "MAC"}, {4, "PHY"}}));
    EXPECT_EQ(parsed(six_lines)->node_count(), 6u); // one per line; the closing tag ends the read
    EXPECT_EQ(table_of("<ModulesList name=\"Elements\">\n"
                       "\t\t<Module tag=\"7\" name=\"X\"/>\n"
                       "  <Module name=\"no tag\"/>\n"
                       "<Module name=\"hex\" tag=\"0x10\"/>\n"
                       "\t<Module name=\"  two  blanks \" tag=\"  12abc\"/>   \t\n"
                       "</ModulesList>\n"),
              (Pairs{{7, "X"}, {0, "no tag"}, {0, "hex"}, {12, "  two  blanks "}}));

    // Matches glued to letters are skipped: "xname" and "nameless".
    const auto doc = parsed("<M xname=\"a\" nameless=\"b\" name=\"c\"/>\n");
    EXPECT_EQ(doc->first_child()->attribute("name"), "c");
    EXPECT_EQ(doc->first_child()->attribute("missing"), "");
}

TEST(XmlReader, IncludeFilesAndMissingOnes)
{
    ktest::TempDir dir;
    dir.Write("mods.xml", "<ModulesList name=\"Elements\">\n<Module name=\"INC\" tag=\"5\"/>\n</ModulesList>\n"
                         "<ignored/>\n");
    const std::string main = dir.Write("main.xml", "<Config>\n<Include Name=\"nothere.xml\"/>\n"
                                                   "<Include Name=\"mods.xml\"/>\n<Module name=\"after\"/>\n</Config>\n");
    std::vector<std::string> reports;
    ModuleNameTable table;
    ASSERT_TRUE(table.load(main, [&](const std::string& t) { reports.push_back(t); }));
    EXPECT_EQ(table.entries(), (Pairs{{5, "INC"}}));
    EXPECT_EQ(reports, std::vector<std::string>{"[XML_PARSER] Could not find include file - nothere.xml"});

    EXPECT_FALSE(table.load(dir.Path() + "/absent.xml"));
    EXPECT_EQ(table.size(), 0u);
}

TEST(XmlReader, HostileInputStaysBounded)
{
    // Include fan-out: a file that includes itself six times, and files
    // each including the next six times; then one with too many lines, and
    // one with elements nested too deeply.
    ktest::TempDir dir;
    const auto includes = [](const std::string& name) {
        std::string text = "<Config>\n";
        for (int i = 0; i < 6; ++i)
            text += "<Include Name=\"" + name + "\"/>\n";
        return text + "</Config>\n";
    };
    dir.Write("self.xml", includes("self.xml"));
    dir.Write("f0.xml", includes("f1.xml"));
    dir.Write("f1.xml", includes("f2.xml"));
    dir.Write("f2.xml", "<Config>\n</Config>\n");
    std::string many = "<Config>\n";
    for (int i = 0; i < 4096; ++i)  // the cap of a document
        many += "<M/>\n";
    dir.Write("many.xml", many + "</Config>\n");
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>\n";
    dir.Write("deep.xml", deep);
    // What a file's reading reported, and how many nodes it kept.
    const auto parse = [&](const std::string& name) {
        xml_main parsed;
        std::vector<std::string> said;
        EXPECT_TRUE(parsed.parse_file(dir.Path() + "/" + name, [&](const std::string& t) { said.push_back(t); }));
        return std::pair{said, parsed.node_count()};
    };
    using Said = std::vector<std::string>;
    EXPECT_EQ(parse("self.xml"), std::pair(Said(6, "[XML_PARSER] Could not find include file - self.xml"), 8ul));
    // Of the includes tried, the first 16 are read and the 8 others refused.
    Said refused(5, "[XML_PARSER] Too many include files - f2.xml");
    refused.resize(8, "[XML_PARSER] Too many include files - f1.xml");
    EXPECT_EQ(parse("f0.xml").first, refused);
    EXPECT_EQ(parse("many.xml"), std::pair(Said{"[XML_PARSER] Too many elements - the rest is not read"}, 4097ul));
    EXPECT_EQ(parse("deep.xml"), std::pair(Said{"[XML_PARSER] Elements nested too deeply - <a>"}, 201ul));

    // A 2000-byte line is read in 511-byte pieces, each a node of its own.
    EXPECT_EQ(parsed("<L" + std::string(2000, 'x') + "/>\n")->first_child(), nullptr);
}
