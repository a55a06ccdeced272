#include "Profile.h"

#include <cstdio>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

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

namespace {

// The values of one section, by name folded to lower case (value names
// compare case-insensitively, as on Windows).  Empty when the section does
// not exist or the registry cannot be read: every field then takes its
// default, as the profile functions give it.
using SectionValues = std::map<std::string, platform::RegValue>;

std::string Folded(std::string_view name)
{
    std::string folded(name);
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

SectionValues ReadSection(const std::string &section)
{
    SectionValues values;
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return values;
    std::vector<platform::RegValue> list;
    if (registry->enum_values(CKestrowApp::SectionKeyPath(section), &list) != platform::kErrorSuccess)
        return values;
    for (platform::RegValue &v : list) {
        std::string key = Folded(v.name);
        values.emplace(std::move(key), std::move(v));
    }
    return values;
}

// A REG_DWORD value, or the default when it is absent or of the other type.
int IntValue(const SectionValues &values, std::string_view name, int def)
{
    const auto it = values.find(Folded(name));
    if (it == values.end() || it->second.type != platform::RegType::Dword)
        return def;
    return static_cast<int>(it->second.dword);
}

std::string StringValue(const SectionValues &values, std::string_view name)
{
    const auto it = values.find(Folded(name));
    if (it == values.end() || it->second.type != platform::RegType::String)
        return std::string();
    return it->second.text;
}

} // namespace

void CProfile::Load()
{
    // One read of the whole section instead of one per value: the same
    // results as the profile functions give value by value.
    const SectionValues values = ReadSection(Section);
    auto readInt = [&](std::string_view name, int def) { return IntValue(values, name, def); };
    auto readBool = [&](std::string_view name) { return IntValue(values, name, 0) != 0; };

    ProfName = StringValue(values, "ProfName");
    NetName = StringValue(values, "NetName");
    NetMode = readBool("NetMode");
    PSType = readInt("PSType", 0);
    PhyType = readInt("PhyType", 1);
    PhyChnl = readInt("PhyChnl", 0);
    SecType = readInt("SecType", 0);
    ActiveSecKey = readInt("ActiveSecKey", -1);
    for (int i = 0; i < kNumSecKeys; ++i) {
        const auto k = static_cast<std::size_t>(i);
        SecKey[k] = StringValue(values, IndexedName("Sec Key", i));
        SecKeyLen[k] = readInt(IndexedName("Sec Key Len", i), 0);
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
}

bool CProfile::Save(bool writeCount)
{
    CKestrowApp &app = theApp();
    const bool ok = app.InProfileTransaction([&]() {
        // A value that already holds what would be written is left alone:
        // the section ends the same, with far fewer writes when little
        // changed (saving the whole store is frequent).
        const SectionValues stored = ReadSection(Section);
        bool good = true;
        auto writeInt = [&](const std::string &name, int value) {
            const auto it = stored.find(Folded(name));
            if (it != stored.end() && it->second.type == platform::RegType::Dword &&
                it->second.dword == static_cast<std::uint32_t>(value))
                return;
            good = app.WriteProfileInt(Section, name, value) && good;
        };
        auto writeString = [&](const std::string &name, const std::string &value) {
            const auto it = stored.find(Folded(name));
            if (it != stored.end() && it->second.type == platform::RegType::String &&
                it->second.text == value)
                return;
            good = app.WriteProfileString(Section, name, value) && good;
        };
        // The key exists afterwards even when every value was already there.
        if (stored.empty()) {
            platform::Registry *registry = platform::Registry::current_user();
            if (registry == nullptr ||
                registry->create_key(CKestrowApp::SectionKeyPath(Section)) != platform::kErrorSuccess)
                good = false;
        }
        writeString("ProfName", ProfName);
        writeString("NetName", NetName);
        writeInt("NetMode", NetMode ? 1 : 0);
        writeInt("PSType", PSType);
        writeInt("PhyType", PhyType);
        writeInt("PhyChnl", PhyChnl);
        writeInt("SecType", SecType);
        writeInt("ActiveSecKey", ActiveSecKey);
        for (int i = 0; i < kNumSecKeys; ++i) {
            const auto k = static_cast<std::size_t>(i);
            writeString(IndexedName("Sec Key", i), SecKey[k]);
            writeInt(IndexedName("Sec Key Len", i), SecKeyLen[k]);
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
        if (writeCount && app.ProfileMngr() != nullptr)
            good = app.WriteProfileInt("", kNumOfProfiles, static_cast<int>(app.ProfileMngr()->GetCount())) &&
                   good;
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
