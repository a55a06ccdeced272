// Import of a hive file into the registry: the file's bytes as given, read
// through HiveFile and written under a key by restore_key.  A restore either
// succeeds and leaves exactly the file's tree under the key, or fails and
// leaves the key as it was.
// fuzz-link: platform_fuzzlib
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "HiveFile.h"
#include "platform/Registry.h"

#include "FuzzTempDir.h"

namespace {

constexpr const char *kKey = "Software\\Dovrel\\Import";

// The values and subkeys below `path`, flattened in name order.
std::string Dump(platform::Registry &reg, const std::string &path)
{
    std::string out;
    std::vector<platform::RegValue> values;
    if (reg.enum_values(path, &values) != 0)
        return "<unreadable " + path + ">";
    for (const platform::RegValue &v : values) {
        out += path + "|" + v.name + "=" +
               (v.type == platform::RegType::String ? "s:" + v.text : "d:" + std::to_string(v.dword)) +
               "\n";
    }
    std::vector<std::string> names;
    if (reg.enum_subkeys(path, &names) != 0)
        return out + "<unreadable subkeys " + path + ">";
    for (const std::string &n : names)
        out += Dump(reg, path + "\\" + n);
    return out;
}

// Deletes `path` with everything below it.
void DeleteTree(platform::Registry &reg, const std::string &path)
{
    std::vector<std::string> subs;
    if (reg.enum_subkeys(path, &subs) == 0) {
        for (const std::string &s : subs)
            DeleteTree(reg, path + "\\" + s);
    }
    if (reg.delete_key(path) != 0)
        std::abort();
}

platform::Registry &Reg()
{
    static std::unique_ptr<platform::Registry> reg = [] {
        std::uint32_t error = 0;
        auto r = platform::Registry::open(fuzz_support::scratch().path() + "/registry.sqlite3", &error);
        if (!r) {
            std::fprintf(stderr, "cannot open the registry: %u\n", error);
            std::abort();
        }
        return r;
    }();
    return *reg;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    platform::Registry &reg = Reg();
    const std::string file = fuzz_support::scratch().path() + "/input.hiv";
    std::FILE *f = std::fopen(file.c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    // A known state to compare with: one value and one subkey.
    if (reg.set_string(kKey, "Before", "kept") != 0 ||
        reg.set_dword(std::string(kKey) + "\\Sub", "Count", 7) != 0)
        std::abort();
    const std::string before = Dump(reg, kKey);

    const std::uint32_t rc = reg.restore_key(kKey, file);
    const std::string after = Dump(reg, kKey);
    if (rc != 0) {
        if (after != before)
            __builtin_trap();  // a failed restore changed the key
    } else {
        // The restored tree is the one the file holds.
        platform::HiveKey tree;
        if (platform::HiveFile::load(file, &tree) != 0)
            __builtin_trap();
        std::size_t values = tree.values.size();
        for (const platform::HiveKey &k : tree.subkeys)
            values += k.values.size();
        if (values > 0 && after.empty())
            __builtin_trap();
    }

    DeleteTree(reg, kKey);  // nothing left for the next input
    std::remove(file.c_str());
    return 0;
}
