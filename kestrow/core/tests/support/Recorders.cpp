#include "Recorders.h"

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace kestrow::test {

RecordingParent::RecordingParent(std::vector<int> ids)
{
    for (int id : ids)
        controls_[id];
}

ITextSink *RecordingParent::FindControl(int id)
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

DebugCapture::DebugCapture()
    : previous_(SetDebugLogHook([this](std::string_view t) { text.append(t); }))
{
}

DebugCapture::~DebugCapture()
{
    SetDebugLogHook(std::move(previous_));
}

namespace {

// Every test program gets its own registry file and runtime directory (for
// the named gates), so that test programs running side by side never meet.
class PrivateDirsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrow-core-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            FAIL() << "cannot create a temporary directory";
        dir_ = pattern;
        const std::string runtime = dir_ + "/runtime";
        std::filesystem::create_directory(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        setenv("KESTROW_REGISTRY", (dir_ + "/registry.sqlite3").c_str(), 1);
    }
    void TearDown() override
    {
        std::error_code ignored;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ignored);
    }

private:
    std::string dir_;
};

[[maybe_unused]] ::testing::Environment *const g_private_dirs =
    ::testing::AddGlobalTestEnvironment(new PrivateDirsEnvironment);

} // namespace

} // namespace kestrow::test
