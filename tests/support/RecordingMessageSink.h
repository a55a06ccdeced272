// Records the message boxes Kestrow's core shows, in order, while it lives
// (it is the core's message sink meanwhile); every box answers OK.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "MessageSink.h"

namespace ktest {

class RecordingMessageSink : public kestrow::IMessageSink {
public:
    RecordingMessageSink();
    ~RecordingMessageSink() override;
    RecordingMessageSink(const RecordingMessageSink &) = delete;
    RecordingMessageSink &operator=(const RecordingMessageSink &) = delete;

    int ShowMessageBox(const std::string &text, unsigned type) override;
    // The texts shown, without their types.
    std::vector<std::string> Texts() const;

    std::vector<std::pair<std::string, unsigned>> shown;

private:
    kestrow::IMessageSink *m_pPrevious;
};

} // namespace ktest
