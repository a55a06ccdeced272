// A private scratch folder for a harness, in memory (/dev/shm) when the
// system has it, so that durable writes in the loop cost little.  Created on
// first use; removed when the process exits normally.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz_support {

class TempDir {
public:
    TempDir() : path_(std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp")
    {
        path_ += "/kestrow-fuzz-XXXXXX";
        if (::mkdtemp(path_.data()) == nullptr)
            std::abort();
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// The harness's folder, alive for the whole run.
inline const TempDir &scratch()
{
    static TempDir dir;
    return dir;
}

} // namespace fuzz_support
