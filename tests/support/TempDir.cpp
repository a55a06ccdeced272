#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <sys/stat.h>

namespace ktest {

TempDir::TempDir()
{
    std::error_code ec;
    std::string pattern = std::filesystem::temp_directory_path(ec).string();
    pattern = (ec ? std::string("/tmp") : pattern) + "/kestrow-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr)
        m_Path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!m_Path.empty())
        std::filesystem::remove_all(m_Path, ec);
}

std::string TempDir::Subdir(const std::string &name) const
{
    const std::string path = File(name);
    ::mkdir(path.c_str(), 0700);
    return path;
}

std::string TempDir::Write(const std::string &name, const std::string &bytes) const
{
    const std::string path = File(name);
    WriteFile(path, bytes);
    return path;
}

bool WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace ktest
