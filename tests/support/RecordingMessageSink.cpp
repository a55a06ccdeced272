#include "RecordingMessageSink.h"

namespace ktest {

RecordingMessageSink::RecordingMessageSink() : m_pPrevious(kestrow::SetMessageSink(this)) {}

RecordingMessageSink::~RecordingMessageSink()
{
    kestrow::SetMessageSink(m_pPrevious);
}

int RecordingMessageSink::ShowMessageBox(const std::string &text, unsigned type)
{
    shown.emplace_back(text, type);
    return kestrow::IDOK;
}

std::vector<std::string> RecordingMessageSink::Texts() const
{
    std::vector<std::string> texts;
    for (const auto &entry : shown)
        texts.push_back(entry.first);
    return texts;
}

} // namespace ktest
