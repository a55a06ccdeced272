// TraceEngine: the trace state of the library (streams, message and module
// tables, callbacks, link flag, last reconnect time) and one tick of the
// trace poller.  The caller serialises all use (the library lock).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "lunmark/lunmark.h"
#include "trace/FirmwareMessageTable.h"
#include "trace/ModuleNameTable.h"
#include "trace/RawStreamParser.h"
#include "trace/TraceStream.h"

namespace lunmark {

// What a tick needs of the adapter connection.
class TraceLink {
public:
    virtual ~TraceLink() = default;
    // Opens the first adapter that answers the probe; true on success.
    virtual bool reconnect() = 0;
    virtual void notify_connect() = 0;
    virtual void notify_disconnect(std::uint32_t reason) = 0;
    // One trace query with `block`; true when the driver answered, with the
    // number of bytes it wrote in `bytes_written`.
    virtual bool poll(void* block, std::uint32_t length, std::uint32_t* bytes_written) = 0;
    virtual void close() = 0;
};

class TraceEngine {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::uint32_t kBlockSize = 8192;
    static constexpr std::uint32_t kDisconnectReason = 50;
    static constexpr std::chrono::milliseconds kReconnectInterval{1000};
    static constexpr const char* kMessageFile = "zentil_ReportMessages.ini";
    static constexpr const char* kModuleFile = "ZarurUdo.xml";

    TraceEngine() = default;
    TraceEngine(const TraceEngine&) = delete;
    TraceEngine& operator=(const TraceEngine&) = delete;

    // One tick: reconnect by search at most once per kReconnectInterval while
    // the link is down, poll the driver, and on success feed the raw stream,
    // parse it and dispatch both modem streams.  A failed poll reports a
    // disconnect; the next recovery, by the reconnect or by a poll that gets
    // through again, reports a connect.
    void tick(TraceLink& link, Clock::time_point now);

    // Parses the raw stream and dispatches the modem 1, then the modem 2
    // stream, calling the registered callbacks.
    void process_streams();

    // Called when the trace starts or stops: the tick running now, if any,
    // calls no further callback and writes nothing more into the output
    // array.  A callback that stops (or restarts) the trace thus hears no
    // more of the tick it was called from.
    void end_delivery() { ++session_; }

    // Called when the trace starts: an adapter the caller already opened
    // counts as a working link, so the first tick does not replace it by
    // searching for the first adapter that answers the probe.
    void note_adapter_open() { link_up_ = true; }

    // Where modem block words go; at most `capacity_words` are written.
    void set_output(std::uint32_t* output, std::uint32_t capacity_words);

    void set_firmware_debug_cb(lunmark_fw_debug_cb cb) { fw_debug_cb_ = cb; }
    void set_firmware_str_debug_cb(lunmark_fw_str_debug_cb cb) { fw_str_cb_ = cb; }
    void set_modem_1_cb(lunmark_modem_cb cb) { modem1_cb_ = cb; }
    void set_modem_2_cb(lunmark_modem_cb cb) { modem2_cb_ = cb; }

    // Reloads the message table from an INI file (a bare name is looked up
    // in the data directory); false when the file cannot be read.
    bool load_message_table(const std::string& name);
    // Loads the module names from kModuleFile in the current directory, or,
    // when there is none, from the data directory; false when neither opens.
    bool load_module_table();

    // Sends a text line to the firmware text callback, or to standard error
    // when none is registered.
    void report(const std::string& text);

    FirmwareMessageTable& messages() { return messages_; }
    ModuleNameTable& modules() { return modules_; }
    TraceStream& raw() { return raw_; }
    TraceStream& modem1() { return modem1_; }
    TraceStream& modem2() { return modem2_; }
    bool link_up() const { return link_up_; }
    std::uint64_t lines_formatted() const { return lines_formatted_; }
    std::uint64_t bytes_polled() const { return bytes_polled_; }

private:
    class Sink;
    class ModemTarget;

    void firmware_message(const FirmwareMessage& message);
    void deliver_line(const std::string& line);
    void dispatch_streams();
    // False once end_delivery() was called during the running tick.
    bool delivering() const { return delivering_session_ == session_; }

    TraceStream raw_;
    TraceStream modem1_;
    TraceStream modem2_;
    std::array<std::uint8_t, kBlockSize> block_{};

    FirmwareMessageTable messages_;
    ModuleNameTable modules_;

    lunmark_fw_debug_cb fw_debug_cb_ = nullptr;
    lunmark_fw_str_debug_cb fw_str_cb_ = nullptr;
    lunmark_modem_cb modem1_cb_ = nullptr;
    lunmark_modem_cb modem2_cb_ = nullptr;

    std::uint32_t* output_ = nullptr;
    std::uint32_t capacity_words_ = 0;

    bool link_up_ = false;
    // A disconnect was reported and no connect since.
    bool disconnect_reported_ = false;
    std::optional<Clock::time_point> last_reconnect_;

    std::uint64_t session_ = 0;
    std::uint64_t delivering_session_ = 0;

    std::uint64_t lines_formatted_ = 0;
    std::uint64_t bytes_polled_ = 0;
};

// The process's trace engine, created on first use.  Call with the library
// lock held.
TraceEngine& trace_engine();

} // namespace lunmark
