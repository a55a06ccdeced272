#include "WatchCmd.h"

#include <LinkWatch.h>
#include <KestrowApp.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

volatile std::sig_atomic_t g_stop = 0;

extern "C" void OnStopSignal(int)
{
    g_stop = 1;
}

// How often the link is read: the window's polling period.
constexpr std::chrono::milliseconds kPeriod{1000};
constexpr std::chrono::milliseconds kStopCheck{100};

// "2026-12-07T22:40:01Z"
std::string UtcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    char text[32] = "";
    if (gmtime_r(&now, &tm) != nullptr)
        (void)std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::string Line(const CLinkEvent &e, bool json)
{
    const char *kind = CLinkEvent::KindName(e.kind);
    const bool named = e.kind == CLinkEvent::Kind::Connected || e.kind == CLinkEvent::Kind::Lost ||
                       e.kind == CLinkEvent::Kind::SignalChanged;
    if (json) {
        CJsonWriter w(CJsonWriter::Layout::OneLine);
        w.BeginObject();
        w.Key("time").String(UtcNow());
        w.Key("event").String(kind);
        if (named) {
            w.Key("ssid").String(e.ssid);
            w.Key("ssid_hex").String(HexBytes(e.ssid));
        }
        if (e.kind != CLinkEvent::Kind::Lost && named) {
            w.Key("signal_dbm").OptInt(e.signalDbm ? std::optional<std::int64_t>(*e.signalDbm) : std::nullopt);
            w.Key("level").OptString(e.level ? std::optional<std::string>(CLinkEvent::LevelName(*e.level))
                                             : std::nullopt);
        }
        w.EndObject();
        return w.Take();
    }
    std::string line = UtcNow() + " " + kind;
    if (named)
        line += " " + EscapeText(e.ssid);
    if (e.signalDbm && e.level)
        line += " (" + std::to_string(*e.signalDbm) + " dBm, " + CLinkEvent::LevelName(*e.level) + ")";
    return line + "\n";
}

const char *AdapterName(AdapterState state)
{
    switch (state) {
    case AdapterState::Present:
    case AdapterState::Returned: return "present";
    case AdapterState::Removed: return "removed";
    case AdapterState::NotFound: break;
    }
    return "not-found";
}

// The first line: the state the events start from.
std::string StateLine(const CLinkState &s, bool json)
{
    if (json) {
        CJsonWriter w(CJsonWriter::Layout::OneLine);
        w.BeginObject();
        w.Key("time").String(UtcNow());
        w.Key("event").String("state");
        w.Key("adapter").String(AdapterName(s.adapter));
        w.Key("connected").Bool(s.connected);
        w.Key("ssid").OptString(s.connected ? std::optional<std::string>(s.ssid) : std::nullopt);
        w.Key("ssid_hex").OptString(s.connected ? std::optional<std::string>(HexBytes(s.ssid)) : std::nullopt);
        w.Key("signal_dbm").OptInt(s.connected && s.signalDbm ? std::optional<std::int64_t>(*s.signalDbm)
                                                              : std::nullopt);
        w.EndObject();
        return w.Take();
    }
    std::string line = UtcNow() + " state adapter " + AdapterName(s.adapter);
    line += s.connected ? ", connected to " + EscapeText(s.ssid) : std::string(", not connected");
    return line + "\n";
}

void Print(const std::string &text)
{
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        throw Failure(std::string("cannot write the output: ") + std::strerror(errno));
}

} // namespace

std::string CWatchCmd::Run(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 0, "watch");
    const bool json = session.Options().json;
    g_stop = 0;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    (void)sigaction(SIGINT, &action, nullptr);
    (void)sigaction(SIGTERM, &action, nullptr);

    // Without an adapter now, the watch waits for one to be found.
    if (session.ConnectAdapterIfPresent())
        (void)session.Stations();
    CLinkWatch watch(theApp());
    Print(StateLine(watch.Start(), json));
    while (g_stop == 0) {
        if (theApp().StationMngr() == nullptr && theApp().DriverConnected())
            (void)session.Stations();
        const auto next = std::chrono::steady_clock::now() + kPeriod;
        while (g_stop == 0 && std::chrono::steady_clock::now() < next)
            std::this_thread::sleep_for(kStopCheck);
        if (g_stop != 0)
            break;
        for (const CLinkEvent &event : watch.Tick())
            Print(Line(event, json));
    }
    return {};
}

} // namespace kestrowctl
