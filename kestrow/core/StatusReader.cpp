#include "StatusReader.h"

#include <charconv>

#include "CommVarList.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

namespace {

// Ids of the captured texts.
enum : int {
    kSsid = 1,
    kNetMode,
    kChannel,
    kMaxRate,
    kSecurity,
    kReceived,
    kSent,
    kNetRate,
    kDriver,
    kFirmware,
    kNvm,
    kMac,
    kRegDomain,
};

std::optional<std::int64_t> Number(const std::string &text)
{
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::string StationRate(const CStation &station)
{
    return station.PhyType == 1 ? "11 Mbps" : "54 Mbps";
}

} // namespace

std::string CStatusSnapshot::TipText() const
{
    if (!connected)
        return std::string(CKestrowApp::kAppName) + "\n" + LoadString(IDS_NOT_CONNECTED);
    return std::string(CKestrowApp::kAppName) + "\nConnected to:\n" + ssid;
}

// A captured control text and the read that last set it.
class CStatusReader::CCapture : public ITextSink {
public:
    explicit CCapture(const unsigned &generation) : m_Generation(generation) {}
    void SetText(const std::string &text) override
    {
        m_Text = text;
        m_SetIn = m_Generation;
    }
    const unsigned &m_Generation;
    std::string m_Text;
    unsigned m_SetIn = 0;
};

CStatusReader::CStatusReader(CKestrowApp &app) : m_App(app)
{
    // Bound variables read themselves once when they are made, as the
    // pages' tables do when their pages are first shown.
    m_pGeneral = std::make_unique<CCommVarList>(static_cast<IControlParent *>(this));
    CCommVarList &g = *m_pGeneral;
    g.AddControl(kSsid, VAR_SSID.read, VAR_SSID.write, ConvSsid);
    g.AddControl(kNetMode, VAR_NET_MODE.read, VAR_NET_MODE.write, ConvNetMode);
    const OID_PAIR channel[] = {VAR_CHANNEL, VAR_PHY};
    m_pChannelVar = g.AddControlMulti(kChannel, channel, 2, ConvChannelFreq);
    g.AddControl(kMaxRate, VAR_PHY.read, VAR_PHY.write, ConvPhyRate);
    g.AddControl(kSecurity, VAR_SECURITY.read, VAR_SECURITY.write, ConvSecurity);
    m_pStatsVar = g.AddControl(kReceived, VAR_STATISTICS.read, VAR_STATISTICS.write, ConvRecvCount);
    g.AddControl(kSent, VAR_STATISTICS.read, VAR_STATISTICS.write, ConvSentCount);
    g.AddControl(kNetRate, VAR_NET_RATE.read, VAR_NET_RATE.write, ConvNetRate);

    m_pAbout = std::make_unique<CCommVarList>(static_cast<IControlParent *>(this));
    CCommVarList &a = *m_pAbout;
    a.AddControl(kDriver, VAR_VERSION.read, VAR_VERSION.write, ConvDriverVersion);
    a.AddControl(kFirmware, VAR_VERSION.read, VAR_VERSION.write, ConvFirmwareVersion);
    a.AddControl(kNvm, VAR_VERSION.read, VAR_VERSION.write, ConvNvmVersion);
    a.AddControl(kMac, VAR_MAC.read, VAR_MAC.write, ConvMac);
    a.AddControl(kRegDomain, VAR_REG_DOMAIN.read, VAR_REG_DOMAIN.write, ConvCountry);
}

CStatusReader::~CStatusReader() = default;

ITextSink *CStatusReader::FindControl(int id)
{
    auto &slot = m_Texts[id];
    if (!slot)
        slot = std::make_unique<CCapture>(m_Generation);
    return slot.get();
}

bool CStatusReader::Take(int id, std::string &field) const
{
    const auto it = m_Texts.find(id);
    if (it == m_Texts.end() || it->second->m_SetIn != m_Generation)
        return false;
    field = it->second->m_Text;
    return true;
}

void CStatusReader::ReadGeneral(CStatusSnapshot &s)
{
    s.adapterPresent = m_App.DriverConnected();
    CStationMngr *stations = m_App.StationMngr();
    s.connected = stations != nullptr && stations->IsConnected();
    if (!s.connected) {
        s.ssid = LoadString(IDS_NOT_CONNECTED);
        s.netMode.clear();
        s.channelFreq.clear();
        s.maxRate.clear();
        s.security.clear();
        s.activeProfile.clear();
        s.received.clear();
        s.sent.clear();
        s.linkQuality.clear();
        s.netRate.clear();
        s.channel.reset();
        s.receivedBytes.reset();
        s.sentBytes.reset();
        s.signalDbm.reset();
        return;
    }
    if (const CStation *station = stations->GetConnectedStation()) {
        FormatSignal(station->LinkQuality, &s.linkQuality);
        s.signalDbm = station->LinkQuality;
        s.netRate = StationRate(*station);
    }
    const CProfile *current = m_App.ProfileMngr() != nullptr ? m_App.ProfileMngr()->GetCurrent() : nullptr;
    s.activeProfile = current != nullptr ? current->ProfName : std::string();
    // A variable that cannot be read leaves its text, and those after it,
    // as they were.
    ++m_Generation;
    (void)m_pGeneral->Exec(false, true);
    Take(kSsid, s.ssid);
    Take(kNetMode, s.netMode);
    if (Take(kChannel, s.channelFreq) && m_pChannelVar != nullptr)
        s.channel = m_pChannelVar->m_Records[0].u8(8);
    Take(kMaxRate, s.maxRate);
    Take(kSecurity, s.security);
    Take(kReceived, s.received);
    Take(kSent, s.sent);
    Take(kNetRate, s.netRate);
    s.receivedBytes = Number(s.received);
    s.sentBytes = Number(s.sent);
}

bool CStatusReader::ReadStatistics(CStatusSnapshot &s)
{
    CStationMngr *stations = m_App.StationMngr();
    s.connected = stations != nullptr && stations->IsConnected();
    if (!s.connected) {
        // The throughput texts keep their last values.
        s.signal = "N/A";
        s.phyRate.clear();
        s.snr.clear();
        s.snrDb.reset();
        return true;
    }
    const CStation *station = stations->GetConnectedStation();
    if (station == nullptr)
        return false;
    std::string snr;
    s.snrDb.reset();
    {
        CCommVarList batch;
        CCommVar *var = batch.Add(VAR_SNR, ConvNumber, &snr);
        if (var == nullptr || !batch.Exec(false, false))
            snr.clear();
        else
            s.snrDb = var->m_Records[0].i32(0);
    }
    FormatSignal(station->LinkQuality, &s.signal);
    s.phyRate = StationRate(*station);
    s.snr = snr;
    s.rxKBps = m_App.RxKBps();
    s.txKBps = m_App.TxKBps();
    return true;
}

void CStatusReader::ReadAbout(CStatusSnapshot &s)
{
    s.adapterPresent = m_App.DriverConnected();
    ++m_Generation;
    (void)m_pAbout->Exec(false, true);
    Take(kDriver, s.driverVersion);
    Take(kFirmware, s.firmwareVersion);
    Take(kNvm, s.nvmVersion);
    Take(kMac, s.macAddress);
    Take(kRegDomain, s.regDomain);
}

COpResult CStatusReader::ResetStatistics()
{
    CCommVarList batch;
    batch.Add(VAR_RESET_STATS, nullptr, nullptr);
    if (!batch.Exec(false, false))
        return COpResult::Message(IDS_DRIVER_ERROR);
    // The history plotted beside the counters starts again with them.
    theApp().ClearHistory();
    return COpResult::Done();
}

CStatusSnapshot CStatusReader::ReadAll()
{
    CStatusSnapshot s;
    ReadGeneral(s);
    if (s.connected)
        ReadStatistics(s);
    ReadAbout(s);
    return s;
}

} // namespace kestrow
