// A private temporary folder, removed with everything in it at the end;
// and whole-file reads and writes.
#pragma once

#include <string>

namespace ktest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    // Empty when the folder could not be made.
    const std::string &Path() const { return m_Path; }
    std::string File(const std::string &name) const { return m_Path + "/" + name; }
    // Makes the subfolder `name` (mode 0700) and returns its path.
    std::string Subdir(const std::string &name) const;
    // Writes the file `name` with `bytes` and returns its path.
    std::string Write(const std::string &name, const std::string &bytes) const;

private:
    std::string m_Path;
};

// Writes `bytes` to `path`; false on any failure.
bool WriteFile(const std::string &path, const std::string &bytes);
// The whole file; empty when it cannot be read.
std::string ReadFile(const std::string &path);

} // namespace ktest
