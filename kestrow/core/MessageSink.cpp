#include "MessageSink.h"

#include <atomic>

#include "DebugLog.h"
#include "StringTable.h"

namespace kestrow {

namespace {
std::atomic<IMessageSink *> g_sink{nullptr};
} // namespace

IMessageSink *SetMessageSink(IMessageSink *sink)
{
    return g_sink.exchange(sink);
}

int ShowMessage(int id, unsigned type)
{
    std::string text = LoadString(id);
    if (text.empty()) {
        DebugTrace("\nShowMessage: no string %d", id);
        return 0;
    }
    IMessageSink *sink = g_sink.load();
    if (sink == nullptr) {
        DebugWrite("\nShowMessage without a message sink: ");
        DebugWrite(text);
        return 0;
    }
    return sink->ShowMessageBox(text, type);
}

int ShowMessageText(const std::string &text, unsigned type)
{
    IMessageSink *sink = g_sink.load();
    if (sink == nullptr) {
        DebugWrite("\nShowMessage without a message sink: ");
        DebugWrite(text);
        return 0;
    }
    return sink->ShowMessageBox(text, type);
}

} // namespace kestrow
