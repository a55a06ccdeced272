// Import of a hive file into the registry: the file's bytes as given, read
// through HiveFile and written under a key by restore_key.  A restore either
// succeeds and leaves exactly the file's tree under the key, or fails and
// leaves the key as it was.
// fuzz-link: registry_dump_fuzzlib platform_fuzzlib
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "HiveFile.h"
#include "platform/Registry.h"

#include "FuzzTempDir.h"
#include "RegistryDump.h"

namespace {

constexpr const char *kKey = "Software\\Dovrel\\Import";

platform::Registry &Reg()
{
    static platform::Registry *reg = [] {
        const std::string path = fuzz_support::scratch().path() + "/registry.sqlite3";
        if (platform::Registry::set_current_user_path(path) != 0)
            std::abort();
        return platform::Registry::current_user();
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
    const std::string before = ktest::DumpRegistryTree(kKey);

    const std::uint32_t rc = reg.restore_key(kKey, file);
    const std::string after = ktest::DumpRegistryTree(kKey);
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
        if (values > 0 && after.find("=dword:") == std::string::npos && after.find("=sz:") == std::string::npos)
            __builtin_trap();
    }

    ktest::DeleteRegistryTree(kKey);  // nothing left for the next input
    if (reg.open_key(kKey) == 0)
        std::abort();
    std::remove(file.c_str());
    return 0;
}
