// How the device parameter layer reaches the controls that show its values,
// without knowing any window system: a control is a text sink found by its
// control id in a parent.  The Qt pages implement both; tests record.
#pragma once

#include <string>

namespace kestrow {

class ITextSink {
public:
    virtual ~ITextSink() = default;
    // SetWindowText of the control.
    virtual void SetText(const std::string &text) = 0;
};

class IControlParent {
public:
    virtual ~IControlParent() = default;
    // GetDlgItem: the control with that id, or null when there is none.
    virtual ITextSink *FindControl(int id) = 0;
};

} // namespace kestrow
