#include "RegistryDump.h"

#include <sstream>
#include <vector>

#include <platform/Registry.h>

namespace ktest {

namespace {

void Dump(platform::Registry &registry, const std::string &path, std::ostringstream &out)
{
    out << "[" << path << "]\n";
    std::vector<platform::RegValue> values;
    if (registry.enum_values(path, &values) != 0)
        out << "(values unreadable)\n";
    for (const auto &v : values) {
        if (v.type == platform::RegType::Dword)
            out << v.name << "=dword:" << v.dword << "\n";
        else
            out << v.name << "=sz:" << v.text << "\n";
    }
    std::vector<std::string> subkeys;
    if (registry.enum_subkeys(path, &subkeys) != 0)
        out << "(subkeys unreadable)\n";
    for (const std::string &subkey : subkeys)
        Dump(registry, path + "\\" + subkey, out);
}

void Delete(platform::Registry &registry, const std::string &path)
{
    std::vector<std::string> subkeys;
    if (registry.enum_subkeys(path, &subkeys) == 0) {
        for (const std::string &subkey : subkeys)
            Delete(registry, path + "\\" + subkey);
    }
    (void)registry.delete_key(path);
}

} // namespace

std::string DumpRegistryTree(const std::string &path)
{
    std::ostringstream out;
    if (platform::Registry *registry = platform::Registry::current_user())
        Dump(*registry, path, out);
    return out.str();
}

void DeleteRegistryTree(const std::string &path)
{
    if (platform::Registry *registry = platform::Registry::current_user())
        Delete(*registry, path);
}

} // namespace ktest
