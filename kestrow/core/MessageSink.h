// Message boxes by string id.  The user interface installs a message sink
// that shows the box (QMessageBox); tests install one that records.
#pragma once

#include <string>

namespace kestrow {

// Message box types and results, with their Windows values.
inline constexpr unsigned MB_OK = 0x00000000u;
inline constexpr unsigned MB_OKCANCEL = 0x00000001u;
inline constexpr unsigned MB_YESNO = 0x00000004u;
inline constexpr unsigned MB_ICONERROR = 0x00000010u;
inline constexpr unsigned MB_ICONQUESTION = 0x00000020u;
inline constexpr unsigned MB_ICONWARNING = 0x00000030u;
inline constexpr unsigned MB_ICONINFORMATION = 0x00000040u;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // Shows `text` in a modal box of `type`; returns the button pressed.
    virtual int ShowMessageBox(const std::string &text, unsigned type) = 0;
};

// Installs the sink (null removes it); returns the previous one.  The sink
// must stay alive while installed.  Used from the user-interface thread.
IMessageSink *SetMessageSink(IMessageSink *sink);

// Loads string `id` of the string table (at most 100 characters) and shows
// it with `type`.  Returns the box's result; 0 when no box could be shown
// (no sink installed, or no such string).
int ShowMessage(int id, unsigned type = MB_OK);

// Shows a text that is not in the string table (a system error text) with
// `type`.  Returns the box's result; 0 when no sink is installed.
int ShowMessageText(const std::string &text, unsigned type = MB_OK);

} // namespace kestrow
