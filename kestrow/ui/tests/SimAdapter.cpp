#include "SimAdapter.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

#include "IMainWindow.h"
#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "StationMngr.h"
#include "platform/Registry.h"

namespace kestrow::test {

QString DefaultScenario(const QString &adapterKeys)
{
    return QStringLiteral("seed = 7\n"
                          "[adapter sim0]\n"
                          "scan_time = 1\n") +
           adapterKeys +
           QStringLiteral("\n[network]\n"
                          "ssid = KestrowNet\n"
                          "bssid = 00:11:22:33:44:55\n"
                          "channel = 6\n"
                          "phy = g\n"
                          "mode = infrastructure\n"
                          "security = open\n"
                          "signal = -61\n"
                          "drift = 0\n"
                          "[network]\n"
                          "ssid = LegacyB\n"
                          "bssid = 00:11:22:33:44:66\n"
                          "channel = 11\n"
                          "phy = b\n"
                          "mode = infrastructure\n"
                          "security = open\n"
                          "signal = -75\n"
                          "drift = 0\n");
}

CSimAdapter::CSimAdapter()
{
    QDir().mkpath(AdapterDir());
    ::setenv("LUNMARK_ADAPTER_DIR", QFile::encodeName(AdapterDir()).constData(), 1);
    ::setenv("LUNMARK_DATA_DIR", KESTROW_TEST_LUNMARK_DATA, 1);
    platform::Registry::set_current_user_path(RegistryPath().toStdString());
    ResetTheApp();
}

CSimAdapter::~CSimAdapter()
{
    CKestrowApp &app = theApp();
    // A started application stops its polling thread and frees its managers;
    // managers a test installed without start-up go with the fixture.
    app.Shutdown();
    app.SetStationMngr(nullptr);
    app.SetProfileMngr(nullptr);
    app.DisconnectDriver();
    Stop();
    ResetTheApp();
}

bool CSimAdapter::Start(const QString &scenario)
{
    QFile file(Path(QStringLiteral("test.scn")));
    if (!file.open(QIODevice::WriteOnly) || file.write(scenario.toUtf8()) < 0) {
        return false;
    }
    file.close();
    m_strOutput.clear();  // a restart waits for its own "ready"
    m_Sim.setProcessChannelMode(QProcess::MergedChannels);
    m_Sim.start(QStringLiteral(KESTROW_TEST_ADAPTER_SIM),
                {QStringLiteral("--exit-with-parent"), QStringLiteral("--dir"), AdapterDir(),
                 QStringLiteral("--scenario"), file.fileName()});
    if (!m_Sim.waitForStarted(10000)) {
        return false;
    }
    // The simulator says "ready" once its sockets listen.
    while (!m_strOutput.contains(QLatin1String("ready"))) {
        if (!m_Sim.waitForReadyRead(10000)) {
            return false;
        }
        m_strOutput += QString::fromUtf8(m_Sim.readAll());
    }
    return true;
}

void CSimAdapter::Stop()
{
    if (m_Sim.state() != QProcess::NotRunning) {
        m_Sim.terminate();
        if (!m_Sim.waitForFinished(10000)) {
            m_Sim.kill();
            m_Sim.waitForFinished(10000);
        }
    }
}

bool CSimAdapter::Control(const QString &command, QString *reply)
{
    QProcess ctl;
    QStringList args{QStringLiteral("ctl"), QStringLiteral("--dir"), AdapterDir(), QStringLiteral("sim0")};
    args += command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    ctl.start(QStringLiteral(KESTROW_TEST_ADAPTER_SIM), args);
    if (!ctl.waitForFinished(10000) || ctl.exitStatus() != QProcess::NormalExit || ctl.exitCode() != 0) {
        return false;
    }
    if (reply != nullptr) {
        *reply = QString::fromUtf8(ctl.readAllStandardOutput());
    }
    return true;
}

CStartedApp::CStartedApp(IMainWindow &window, bool ticks)
{
    CKestrowApp &app = theApp();
    if (!ticks) {
        app.SetPollTiming(std::chrono::hours(1), std::chrono::milliseconds(1000));
    }
    (void)app.Startup();
    app.SetMainWindow(&window);
}

CStartedApp::~CStartedApp()
{
    theApp().SetMainWindow(nullptr);
    theApp().Shutdown();
}

} // namespace kestrow::test
