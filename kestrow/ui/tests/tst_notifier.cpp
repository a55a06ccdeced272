// Desktop notifications over a real, private session bus: a dbus-daemon of
// the test's own and a small service that owns org.freedesktop.Notifications
// and records what it is sent.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QtTest>

#include "DesktopNotifier.h"

using namespace kestrow;
using namespace std::chrono_literals;

// The recording notification service.
class CRecordingService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList summaries;
    QStringList bodies;
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        summaries << summary;
        bodies << body;
        return static_cast<uint>(summaries.size());
    }
};

class TestNotifier : public QObject {
    Q_OBJECT
private:
    QProcess m_Bus;
    CRecordingService m_Service;
    using K = CLinkEvent::Kind;
    const CNotificationPolicy::Clock::time_point t0 = CNotificationPolicy::Clock::time_point{} + 1000s;

private slots:
    void initTestCase()
    {
        m_Bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                    QStringLiteral("--print-address=1")});
        QVERIFY2(m_Bus.waitForStarted(10000), "dbus-daemon did not start");
        QTRY_VERIFY_WITH_TIMEOUT(m_Bus.canReadLine() || m_Bus.waitForReadyRead(100), 10000);
        const QByteArray address = m_Bus.readLine().trimmed();
        // The session bus of this process is the private one from now on.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QDBusConnection service = QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("svc"));
        QVERIFY(service.registerObject(QString::fromLatin1(CDesktopNotifier::kPath), &m_Service,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(QString::fromLatin1(CDesktopNotifier::kService)));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("svc"));
        m_Bus.kill();
        m_Bus.waitForFinished(10000);
    }

    // When and how often to tell is the policy's (tested in the core); here:
    // every kind reaches the service with its summary and body.
    void tellsEachKindWithItsTexts()
    {
        CDesktopNotifier n(t0);
        const CLinkEvent cafe{K::Connected, "Caf\xc3\xa9 <b>", -60, SignalLevel::Excellent};
        n.Handle({CLinkEvent{K::Lost, cafe.ssid, {}, {}}}, t0 + 20s);
        n.Handle({cafe}, t0 + 30s);
        n.Handle({CLinkEvent{K::AdapterRemoved, {}, {}, {}}}, t0 + 60s);
        n.Handle({CLinkEvent{K::AdapterFound, {}, {}, {}}}, t0 + 70s);
        QTRY_COMPARE_WITH_TIMEOUT(m_Service.summaries.size(), 4, 10000);
        // After a round trip through the bus nothing more is on its way.
        QDBusConnection::sessionBus().interface()->isServiceRegistered(QString::fromLatin1(CDesktopNotifier::kService));
        QCoreApplication::processEvents();
        QCOMPARE(m_Service.summaries, (QStringList{QStringLiteral("Connection to Caf\u00e9 <b> lost"),
                                                   QStringLiteral("Connected to Caf\u00e9 <b>"),
                                                   QStringLiteral("Adapter removed"), QStringLiteral("Adapter found")}));
        QCOMPARE(m_Service.bodies, (QStringList{{}, QStringLiteral("Signal: excellent (-60 dBm)"), {}, {}}));
    }

    void withoutAServiceNothingHappens()
    {
        QVERIFY(QDBusConnection(QStringLiteral("svc")).unregisterService(QString::fromLatin1(CDesktopNotifier::kService)));
        CDesktopNotifier n(t0 - 60s);
        n.Handle({CLinkEvent{K::AdapterRemoved, {}, {}, {}}}, t0);
        QCOMPARE(n.Sent(), 1);  // sent into the bus, answered with an error nobody waits for
    }
};

QTEST_GUILESS_MAIN(TestNotifier)
#include "tst_notifier.moc"
