// The current user's registry as text, for comparing it before and after an
// operation; and deleting a key with everything below it.
#pragma once

#include <string>

namespace ktest {

// Every key below (and including) `path` with its values, one line each, in
// a stable order.
std::string DumpRegistryTree(const std::string &path);
// Deletes `path` with its subkeys.
void DeleteRegistryTree(const std::string &path);

} // namespace ktest
