// A private temporary folder, removed with everything in it at the end.
#pragma once

#include <string>

namespace fault {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // Empty when the folder could not be made.
    const std::string &Path() const { return m_Path; }
    std::string File(const std::string &name) const { return m_Path + "/" + name; }

private:
    std::string m_Path;
};

// Writes `bytes` to `path`; false on any failure.
bool WriteFile(const std::string &path, const std::string &bytes);
// Reads the whole file; false on any failure.
bool ReadFile(const std::string &path, std::string *bytes);

} // namespace fault
