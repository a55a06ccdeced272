#include "StringTable.h"


namespace kestrow {

namespace {

struct StringEntry {
    int id;
    const char *text;
};

constexpr StringEntry kStrings[] = {
    {102, "Profile Configuration"},
    {103, "Save Connection to Profile"},
    {104, "Edit Connection Parameters"},
    {108, "Advanced Profile Edit"},
    {109, "Add to Au&to-Selection"},
    {110, "Please define at least one complete security key."},
    {111, "Invalid Profile name (1-20 characters)."},
    {112, "Invalid Network Name (SSID) (1-32 characters)."},
    {113, "Enter Security Parameters"},
    {114, "Not Connected"},
    {115, "An error occured connecting to the driver. Try restarting the application if error "
          "persists."},
    {116, "Max Fragmentation Size must be a value between 256 and 2312."},
    {117, "RTS Threshold Size must be a value between 0 and 2312."},
    {118, "NetworkView"},
    {119, "AP View"},
    {120, "Could not connect to profile. Verify profile parameters."},
    {122, "Could not connect to specified station."},
    {123, "Disabled"},
};

} // namespace

std::string LoadString(int id)
{
    for (const StringEntry &e : kStrings) {
        if (e.id == id) {
            std::string text(e.text);
            if (text.size() > kMaxResourceString)
                text.resize(kMaxResourceString);
            return text;
        }
    }
    return {};
}

} // namespace kestrow
