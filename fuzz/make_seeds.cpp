// Writes a small seed corpus for each fuzz harness:
//   fuzz_seeds DIR   ->  DIR/raw_stream_fuzz/, DIR/ini_fuzz/, DIR/xml_fuzz/
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

bool write(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    std::ofstream out(dir / name, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

void word(std::string& s, std::uint32_t w)
{
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((w >> (8 * i)) & 0xFF));
}

std::uint32_t fw(std::uint16_t id, std::uint8_t tag, std::uint8_t count)
{
    return id | static_cast<std::uint32_t>(tag) << 16 | static_cast<std::uint32_t>(count) << 24;
}

// A trace block as the driver sends it: messages, modem blocks, padding.
std::string trace_seed(const std::string& format, int variant)
{
    std::string s(1, static_cast<char>(format.size()));
    s += format;
    std::uint16_t block = 0;
    for (int round = 0; round < 24; ++round) {
        word(s, fw(static_cast<std::uint16_t>(round), 1, static_cast<std::uint8_t>(round % 3)));
        for (int p = 0; p < round % 3; ++p)
            word(s, static_cast<std::uint32_t>(round * 1000 + p));
        const std::uint16_t type = round % 2 == 0 ? 0x3E : 0x3F;
        const std::uint16_t n = static_cast<std::uint16_t>(variant == 1 ? 64 : 5 + round);
        word(s, n | static_cast<std::uint32_t>(type) << 16);
        for (std::uint16_t k = 0; k < n; ++k)
            word(s, k == 0 ? 0xBABE0000u + block++ : k);
        if (variant == 2)
            word(s, fw(1, 2, 3)); // a bad count
    }
    for (int k = 0; k < 80; ++k)
        word(s, 0xFFFFFFFFu);
    return s;
}

std::string file_text(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path data = fs::path(KESTROW_SOURCE_DIR) / "adapter-sim" / "data";
    std::error_code ec;
    for (const char* h : {"raw_stream_fuzz", "ini_fuzz", "xml_fuzz"}) {
        fs::create_directories(root / h, ec);
        if (ec) {
            std::fprintf(stderr, "fuzz_seeds: cannot create %s: %s\n", (root / h).c_str(),
                         ec.message().c_str());
            return 1;
        }
    }
    bool ok = true;
    ok &= write(root / "raw_stream_fuzz", "plain", trace_seed("\"value %d and %x\"", 0));
    ok &= write(root / "raw_stream_fuzz", "full-blocks", trace_seed("%#08x|%-5u|%+.3d|%c", 1));
    ok &= write(root / "raw_stream_fuzz", "hostile", trace_seed("%s %n %p %f %*d %99999d %", 2));

    ok &= write(root / "ini_fuzz", "crafted",
                "; comment\n[A]\n01050123=\"Rx %d\"\n01050124=Rx\n0105ABCD=\"upper\"\n"
                "  02010001 = \"two %d %d\"  \r\n[a]\n01050123=\"dup\"\n[B\nx=\"%s%n\"\n");
    const std::string ini = file_text(data / "zentil_ReportMessages.ini");
    if (!ini.empty())
        ok &= write(root / "ini_fuzz", "shipped", ini);

    ok &= write(root / "xml_fuzz", "six-lines",
                "  <Config>\n    <ModulesList name=\"Elements\">\n      <Module name=\"MAC\" tag=\"3\"/>\n"
                "      <Module name=\"PHY\" tag=\"4\"/>\n    </ModulesList>\n  </Config>\n");
    ok &= write(root / "xml_fuzz", "odd",
                "<C>\n<!-- c -->\n<Include Name=\"missing.xml\"/>\n\t<M tag=\"0x10\" name=\" a b \"/>\n"
                "text\n</C>\n");
    const std::string xml = file_text(data / "ZarurUdo.xml");
    if (!xml.empty())
        ok &= write(root / "xml_fuzz", "shipped", xml);

    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: cannot write the seeds below %s\n", root.c_str());
        return 1;
    }
    return 0;
}
