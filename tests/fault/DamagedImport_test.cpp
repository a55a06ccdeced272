// Importing a damaged profile file shows the system's message once and
// leaves both the profile store and the registry exactly as they were.
#include <gtest/gtest.h>

#include <string>

#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "RecordingMessageSink.h"
#include "RegistryDump.h"
#include "TempDir.h"
#include "platform/Registry.h"
#include "platform/SystemMessage.h"
#include "platform/Win32Error.h"

namespace {

// The codes a bad profile file can meet on import.
bool IsImportFailureText(const std::string &text)
{
    for (std::uint32_t code : {platform::kErrorNotRegistryFile, platform::kErrorRegistryCorrupt,
                               platform::kErrorBadDb, platform::kErrorInvalidData}) {
        if (text == platform::system_message(code))
            return true;
    }
    return false;
}

class DamagedImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(platform::Registry::set_current_user_path(m_Dir.File("registry.sqlite3")), 0u);
        kestrow::ResetTheApp();
        m_pStore = std::make_unique<kestrow::CProfileMngr>();
        for (const char *ssid : {"Office", "Home", "Cafe"}) {
            kestrow::CProfile source;
            source.NetName = ssid;
            source.NetMode = true;
            const std::string name = m_pStore->AddNew(&source);
            kestrow::CProfile *record = m_pStore->Get(name);
            ASSERT_NE(record, nullptr);
            record->AutoSelect = true;
            record->Priority = m_pStore->UpdatePriorities(-1);
        }
        ASSERT_TRUE(m_pStore->SaveAll());
        // A sound export of the whole store, to damage.
        ASSERT_TRUE(m_pStore->RegOp(kestrow::CProfileMngr::RegExportAll, m_Dir.File("all.reg"), nullptr));
        m_Hive = ktest::ReadFile(m_Dir.File("all.reg"));
        ASSERT_GT(m_Hive.size(), 8192u);
    }

    void TearDown() override
    {
        m_pStore.reset();
        kestrow::ResetTheApp();
    }

    // Imports `bytes` as a profile file: it must fail with the system's text
    // and change nothing, in the registry or in the store (whose save would
    // then write the change).
    void ExpectRefused(const std::string &what, const std::string &bytes)
    {
        SCOPED_TRACE(what);
        const std::string file = m_Dir.Write("bad.reg", bytes);
        const std::string registryBefore = ktest::DumpRegistryTree("Software");
        ktest::RecordingMessageSink messages;
        bool imported = true;
        ASSERT_NO_THROW(imported = m_pStore->RegOp(kestrow::CProfileMngr::RegImport, file, nullptr));
        EXPECT_FALSE(imported);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_TRUE(IsImportFailureText(messages.shown[0].first)) << messages.shown[0].first;
        EXPECT_EQ(ktest::DumpRegistryTree("Software"), registryBefore);
        ASSERT_TRUE(m_pStore->SaveAll());
        EXPECT_EQ(ktest::DumpRegistryTree("Software"), registryBefore);
    }

    ktest::TempDir m_Dir;
    std::unique_ptr<kestrow::CProfileMngr> m_pStore;
    std::string m_Hive;
};

} // namespace

// A file whose header is sound but its cells are gone (the registry's own
// tests go through every kind of damage), then the sound file itself: the
// refusal is about the damage.
TEST_F(DamagedImport, DamagedFileIsRefusedWithNothingChanged)
{
    std::string zeroed = m_Hive;
    zeroed.replace(4096 + 32, zeroed.size() - 4096 - 32, zeroed.size() - 4096 - 32, '\0');
    ExpectRefused("cells wiped", zeroed);

    ktest::RecordingMessageSink messages;
    EXPECT_TRUE(m_pStore->RegOp(kestrow::CProfileMngr::RegImport, m_Dir.Write("good.reg", m_Hive), nullptr));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(m_pStore->GetCount(), 6u);
}
