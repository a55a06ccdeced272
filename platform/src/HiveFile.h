// Registry hive files (regf): a key tree written to and read from the file
// format the Windows registry saves keys in, using hivex.
//
// hivex can edit a hive but not create one, so save() first writes the
// smallest valid hive itself (a base block with its checksum, one hbin, a
// root nk with its sk), then lets hivex add the keys and values.
//
// Texts: REG_SZ data is UTF-16LE with a terminating NUL.  Our strings are
// byte strings, normally UTF-8; a byte that is not part of a valid UTF-8
// sequence is taken as the Latin-1 character of that value, so every byte
// string can be saved (such a byte comes back as the UTF-8 of that
// character).  Names go the same way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace platform {

struct HiveKey {
    std::string name;
    std::vector<RegValue> values;
    std::vector<HiveKey> subkeys;
};

class HiveFile {
public:
    // Writes `root` (its values and subkeys; its own name is not stored) to a
    // new hive file.  183 when `file` exists already; the file appears
    // complete or not at all.
    static std::uint32_t save(const HiveKey &root, const std::string &file);

    // Reads the whole hive into `root` and checks it.  2 when the file is
    // missing, 1017 when it is not a hive, 1015 when it is damaged, 13 when
    // it holds a value type this registry cannot keep.
    static std::uint32_t load(const std::string &file, HiveKey *root);

    // The smallest valid hive: base block, one hbin, an empty root key.
    static std::string empty_hive();

    static std::string utf8_to_utf16le(std::string_view text);
    static std::string utf16le_to_utf8(std::string_view bytes);
    // `text` as valid UTF-8 (invalid bytes taken as Latin-1).
    static std::string to_valid_utf8(std::string_view text);
};

} // namespace platform
