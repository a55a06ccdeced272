// Recording stand-ins for the user interface: controls found by id, a
// debug log capture; and a private registry and runtime
// directory for every test program.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "DebugLog.h"
#include "TextSink.h"

namespace kestrow::test {

class RecordingControl : public ITextSink {
public:
    void SetText(const std::string &text) override { texts.push_back(text); }
    std::vector<std::string> texts;  // every text set, in order
};

// Holds the controls with the ids given; others are not found.
class RecordingParent : public IControlParent {
public:
    explicit RecordingParent(std::vector<int> ids);
    ITextSink *FindControl(int id) override;
    RecordingControl &operator[](int id) { return controls_.at(id); }

private:
    std::map<int, RecordingControl> controls_;
};

// Captures the debug log while it lives.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    std::string text;

private:
    DebugLogHook previous_;
};

} // namespace kestrow::test
