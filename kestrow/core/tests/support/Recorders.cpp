#include "Recorders.h"

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "TempDir.h"

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
        ASSERT_FALSE(dir_.Path().empty()) << "cannot create a temporary directory";
        setenv("XDG_RUNTIME_DIR", dir_.Subdir("runtime").c_str(), 1);
        setenv("KESTROW_REGISTRY", dir_.File("registry.sqlite3").c_str(), 1);
    }

private:
    ktest::TempDir dir_;
};

[[maybe_unused]] ::testing::Environment *const g_private_dirs =
    ::testing::AddGlobalTestEnvironment(new PrivateDirsEnvironment);

} // namespace

} // namespace kestrow::test
