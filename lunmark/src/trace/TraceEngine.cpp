#include "trace/TraceEngine.h"

#include <cstdio>
#include <cstring>

#include "trace/Bstr.h"
#include "trace/DataDirectory.h"
#include "trace/FirmwareLineFormatter.h"
#include "trace/ModemStreamDispatcher.h"

namespace lunmark {

class TraceEngine::Sink : public RawStreamParser::Sink {
public:
    explicit Sink(TraceEngine& engine) : engine_(engine) {}
    void firmware_message(const FirmwareMessage& message) override { engine_.firmware_message(message); }

private:
    TraceEngine& engine_;
};

class TraceEngine::ModemTarget : public ModemStreamDispatcher::Target {
public:
    ModemTarget(TraceEngine& engine, lunmark_modem_cb TraceEngine::*slot) : engine_(engine), slot_(slot) {}
    std::uint32_t* output() override { return engine_.delivering() ? engine_.output_ : nullptr; }
    std::uint32_t capacity_words() override { return engine_.capacity_words_; }
    void deliver(std::uint16_t block_id, std::uint32_t byte_count) override
    {
        // Read the slot now: an earlier callback may have changed it.
        lunmark_modem_cb cb = engine_.*slot_;
        if (cb != nullptr && engine_.delivering())
            cb(block_id, byte_count);
    }

private:
    TraceEngine& engine_;
    lunmark_modem_cb TraceEngine::*slot_;
};

void TraceEngine::tick(TraceLink& link, Clock::time_point now)
{
    delivering_session_ = session_;
    if (!link_up_ && (!last_reconnect_ || now - *last_reconnect_ > kReconnectInterval)) {
        last_reconnect_ = now;
        if (link.reconnect()) {
            link_up_ = true;
            disconnect_reported_ = false;
            link.notify_connect();
            if (!delivering())
                return;
        }
    }

    // The first two words ask the driver for trace data.
    block_.fill(0);
    const std::uint32_t request[2] = {0, 3};
    std::memcpy(block_.data(), request, sizeof request);

    std::uint32_t written = 0;
    if (!link.poll(block_.data(), kBlockSize, &written)) {
        link_up_ = false;
        disconnect_reported_ = true;
        link.notify_disconnect(kDisconnectReason);
        link.close();
        return;
    }
    link_up_ = true;
    if (disconnect_reported_) {
        // The poll's own reopen brought the link back: whoever heard of the
        // loss hears of the recovery too.
        disconnect_reported_ = false;
        link.notify_connect();
        if (!delivering())
            return;
    }
    std::uint32_t words = written / 4;
    if (words > kBlockSize / 4)
        words = kBlockSize / 4;
    if (words == 0)
        return;
    raw_.append(block_.data(), words * 4);
    bytes_polled_ += words * 4;
    dispatch_streams();
}

void TraceEngine::process_streams()
{
    delivering_session_ = session_;
    dispatch_streams();
}

void TraceEngine::dispatch_streams()
{
    Sink sink(*this);
    RawStreamParser::parse(raw_, modem1_, modem2_, sink);
    ModemTarget first(*this, &TraceEngine::modem1_cb_);
    ModemStreamDispatcher::dispatch(modem1_, first);
    ModemTarget second(*this, &TraceEngine::modem2_cb_);
    ModemStreamDispatcher::dispatch(modem2_, second);
}

void TraceEngine::set_output(std::uint32_t* output, std::uint32_t capacity_words)
{
    output_ = output;
    capacity_words_ = output != nullptr ? capacity_words : 0;
}

void TraceEngine::firmware_message(const FirmwareMessage& message)
{
    if (fw_debug_cb_ != nullptr && delivering())
        fw_debug_cb_(message.module_tag, message.param_count, message.id, message.param1,
                     message.param2, 0, 0);
    if (fw_str_cb_ != nullptr && delivering())
        deliver_line(FirmwareLineFormatter::line(message, messages_, modules_));
}

void TraceEngine::deliver_line(const std::string& line)
{
    lunmark_fw_str_debug_cb cb = fw_str_cb_;
    if (cb == nullptr)
        return;
    lunmark_bstr text = bstr_from_text(line);
    if (text == nullptr)
        return; // out of memory: the line is lost, the trace goes on
    ++lines_formatted_;
    cb(&text);
    lunmark_bstr_free(text);
}

void TraceEngine::report(const std::string& text)
{
    if (fw_str_cb_ != nullptr)
        deliver_line(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

bool TraceEngine::load_message_table(const std::string& name)
{
    if (name.empty()) {
        messages_.clear();
        return false;
    }
    return messages_.load(DataDirectory::resolve(name),
                          [this](const std::string& text) { report(text); });
}

bool TraceEngine::load_module_table()
{
    const auto reporter = [this](const std::string& text) { report(text); };
    if (modules_.load(kModuleFile, reporter))
        return true;
    return modules_.load(DataDirectory::resolve(kModuleFile), reporter);
}

TraceEngine& trace_engine()
{
    static TraceEngine engine;
    return engine;
}

} // namespace lunmark
