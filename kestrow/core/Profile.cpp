#include "Profile.h"

#include <cstdio>
#include <functional>

#include <platform/Registry.h>
#include <platform/Win32Error.h>

#include "DebugLog.h"
#include "KestrowApp.h"
#include "ProfileMngr.h"

namespace kestrow {

namespace {

// "Sec Key 0" .. "Sec Key Len 3": "%s %d" of the base name and the index.
std::string IndexedName(const char *base, int index)
{
    return std::string(base) + " " + std::to_string(index);
}

// Runs `work` in one registry transaction when the registry is open, so a
// record's values become durable together (and quickly).  Without a
// registry the work still runs: its profile functions then report failure.
bool InTransaction(const std::function<bool()> &work)
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return work();
    bool ok = false;
    const std::uint32_t error = registry->transact([&]() -> std::uint32_t {
        ok = work();
        return ok ? platform::kErrorSuccess : platform::kErrorCantWrite;
    });
    return ok && error == platform::kErrorSuccess;
}

} // namespace

CProfile::CProfile() = default;

CProfile::CProfile(std::string section, bool load) : Section(std::move(section))
{
    if (load)
        Load();
}

CProfile::CProfile(const CProfile &other)
    : ProfName(other.ProfName),
      NetName(other.NetName),
      NetMode(other.NetMode),
      PSType(other.PSType),
      PhyType(other.PhyType),
      PhyChnl(other.PhyChnl),
      SecType(other.SecType),
      ActiveSecKey(other.ActiveSecKey),
      SecKey(other.SecKey),
      SecKeyLen(other.SecKeyLen),
      AutoSelect(other.AutoSelect),
      MaxFragment(other.MaxFragment),
      RTSThreshold(other.RTSThreshold),
      UseFragmentation(other.UseFragmentation),
      UseRTS(other.UseRTS),
      ShortPreamble(other.ShortPreamble),
      MaxTxPower(other.MaxTxPower),
      MaxNetRate(other.MaxNetRate),
      WrLessMode(other.WrLessMode),
      Priority(-1),
      Use802_1(other.Use802_1)
{
}

CProfile::~CProfile() = default;

void CProfile::Load()
{
    const CKestrowApp &app = theApp();
    auto readInt = [&](const char *name, int def) { return app.GetProfileInt(Section, name, def); };
    auto readBool = [&](const char *name) { return app.GetProfileInt(Section, name, 0) != 0; };
    auto readString = [&](const char *name) { return app.GetProfileString(Section, name, ""); };

    // Reads in one transaction: one snapshot of the record, and one lock of
    // the database instead of one per value.
    (void)InTransaction([&]() {
        ProfName = readString("ProfName");
        NetName = readString("NetName");
        NetMode = readBool("NetMode");
        PSType = readInt("PSType", 0);
        PhyType = readInt("PhyType", 1);
        PhyChnl = readInt("PhyChnl", 0);
        SecType = readInt("SecType", 0);
        ActiveSecKey = readInt("ActiveSecKey", -1);
        for (int i = 0; i < kNumSecKeys; ++i) {
            SecKey[static_cast<std::size_t>(i)] =
                app.GetProfileString(Section, IndexedName("Sec Key", i), "");
            SecKeyLen[static_cast<std::size_t>(i)] =
                app.GetProfileInt(Section, IndexedName("Sec Key Len", i), 0);
        }
        AutoSelect = readBool("AutoSelect");
        MaxFragment = readInt("MaxFragment", 0);
        RTSThreshold = readInt("RTSThreshold", 0);
        UseFragmentation = readBool("UseFragmentation");
        UseRTS = readBool("UseRTS");
        ShortPreamble = readBool("ShortPreamble");
        MaxTxPower = readInt("MaxTxPower", 0);
        MaxNetRate = readInt("MaxNetRate", 27000000);
        WrLessMode = readInt("WrLessMode", 0);
        Use802_1 = readBool("Use802_1");
        Priority = readInt("Priority", 0);
        return true;
    });
}

bool CProfile::Save(bool writeCount)
{
    CKestrowApp &app = theApp();
    const bool ok = InTransaction([&]() {
        bool good = true;
        auto writeInt = [&](const char *name, int value) {
            good = app.WriteProfileInt(Section, name, value) && good;
        };
        auto writeString = [&](const char *name, const std::string &value) {
            good = app.WriteProfileString(Section, name, value) && good;
        };
        writeString("ProfName", ProfName);
        writeString("NetName", NetName);
        writeInt("NetMode", NetMode ? 1 : 0);
        writeInt("PSType", PSType);
        writeInt("PhyType", PhyType);
        writeInt("PhyChnl", PhyChnl);
        writeInt("SecType", SecType);
        writeInt("ActiveSecKey", ActiveSecKey);
        for (int i = 0; i < kNumSecKeys; ++i) {
            good = app.WriteProfileString(Section, IndexedName("Sec Key", i),
                                          SecKey[static_cast<std::size_t>(i)]) &&
                   good;
            good = app.WriteProfileInt(Section, IndexedName("Sec Key Len", i),
                                       SecKeyLen[static_cast<std::size_t>(i)]) &&
                   good;
        }
        writeInt("AutoSelect", AutoSelect ? 1 : 0);
        writeInt("MaxFragment", MaxFragment);
        writeInt("RTSThreshold", RTSThreshold);
        writeInt("UseFragmentation", UseFragmentation ? 1 : 0);
        writeInt("UseRTS", UseRTS ? 1 : 0);
        writeInt("ShortPreamble", ShortPreamble ? 1 : 0);
        writeInt("MaxTxPower", MaxTxPower);
        writeInt("MaxNetRate", MaxNetRate);
        writeInt("WrLessMode", WrLessMode);
        writeInt("Use802_1", Use802_1 ? 1 : 0);
        writeInt("Priority", Priority);
        if (writeCount && app.m_pProfileMngr != nullptr)
            writeInt(kNumOfProfiles, static_cast<int>(app.m_pProfileMngr->GetCount()));
        return good;
    });
    if (!ok)
        DebugTrace("\nProfile %s could not be saved", Section.c_str());
    return ok;
}

bool CProfile::ClearName()
{
    return theApp().WriteProfileString(Section, "ProfName", "");
}

int CProfile::ChannelNumber(int phyType, int index)
{
    if (phyType == 0)
        return index < 8 ? 36 + 4 * index : 117 + 4 * index;
    return index + 1;
}

int CProfile::ChannelIndex(int phyType, int number)
{
    if (phyType != 0)
        return number > 1 ? number - 1 : 0;
    // 36, 40, ..., 64 are indexes 0..7; 149, 153, 157, 161 are 8..11.
    if (number < 149) {
        const int index = (number - 36) / 4;
        return index < 0 ? 0 : (index > 7 ? 7 : index);
    }
    const int index = (number - 117) / 4;
    return index > 11 ? 11 : index;
}

} // namespace kestrow
