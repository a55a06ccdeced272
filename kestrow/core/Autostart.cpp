#include "Autostart.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>


namespace kestrow {

namespace {

std::filesystem::path ConfigHome()
{
    // Relative values are to be ignored, as the base directory rules say.
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        return xdg;
    const char *home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr && home[0] != '\0' ? home : "/") / ".config";
}

// An Exec argument: in double quotes, with the characters that are special
// inside them escaped by a backslash.
std::string QuotedArgument(const std::string &text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Desktop entry values escape backslashes once more, and may hold no line
// break.
std::string EntryValue(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string CAutostart::EntryPath()
{
    return (ConfigHome() / "autostart" / "kestrow.desktop").string();
}

bool CAutostart::Enabled()
{
    std::error_code error;
    return std::filesystem::exists(EntryPath(), error);
}

std::string CAutostart::EntryText(const std::string &program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Kestrow\n"
           "Comment=Watch and configure the USB 802.11a/b/g wireless adapter\n"
           "Exec=" + EntryValue(QuotedArgument(program)) + " --minimized\n"
           "Icon=kestrow\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

COpResult CAutostart::SetEnabled(bool enabled, const std::string &program)
{
    const std::filesystem::path entry = EntryPath();
    std::error_code error;
    if (!enabled) {
        if (!std::filesystem::remove(entry, error) && error)
            return COpResult::Text("Cannot remove " + entry.string() + ": " + error.message() + ".");
        return COpResult::Done();
    }
    std::filesystem::create_directories(entry.parent_path(), error);
    if (error)
        return COpResult::Text("Cannot create " + entry.parent_path().string() + ": " + error.message() + ".");
    const std::filesystem::path temp = entry.string() + ".new";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << EntryText(program);
        out.flush();
        if (!out) {
            std::filesystem::remove(temp, error);
            return COpResult::Text("Cannot write " + temp.string() + ".");
        }
    }
    std::filesystem::rename(temp, entry, error);
    if (error) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        return COpResult::Text("Cannot write " + entry.string() + ": " + error.message() + ".");
    }
    return COpResult::Done();
}

} // namespace kestrow
