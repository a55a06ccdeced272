// Test support: a real adapter-sim process on a private adapter directory
// with a scenario written by the test, and a private registry file; plus a
// message sink that records instead of showing boxes.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "MessageSink.h"

namespace kestrow {
class IMainWindow;
}

namespace kestrow::test {

// One adapter "sim0" with the given adapter keys, and two networks in range:
// "KestrowNet" (802.11g, channel 6, open, -61 dBm) and "LegacyB" (802.11b,
// channel 11, open, -75 dBm).
QString DefaultScenario(const QString &adapterKeys = QString());

class CSimAdapter {
public:
    // Creates the private folders, points the registry and the adapter
    // directory at them, and resets the application object.  Going, it
    // also frees the profile store and station list a test installed.
    CSimAdapter();
    ~CSimAdapter();
    CSimAdapter(const CSimAdapter &) = delete;
    CSimAdapter &operator=(const CSimAdapter &) = delete;

    // Starts adapter-sim with the scenario text; true once it said it is ready.
    bool Start(const QString &scenario);
    void Stop();

    // "adapter-sim ctl sim0 COMMAND"; true when it succeeded, with the reply
    // in *reply when given.
    bool Control(const QString &command, QString *reply = nullptr);

    QString RegistryPath() const { return m_Dir.filePath(QStringLiteral("registry.sqlite3")); }
    QString AdapterDir() const { return m_Dir.filePath(QStringLiteral("adapters")); }
    QString Path(const QString &name) const { return m_Dir.filePath(name); }
    QString Output() const { return m_strOutput; }

private:
    QTemporaryDir m_Dir;
    QProcess m_Sim;
    QString m_strOutput;
};

// The application started as the program starts it, with `window` as its
// main window; the polling thread's ticks come only when `ticks` (otherwise
// a test wakes the window itself).  Going, it takes the window away before
// the window goes (declare it after the window), and shuts down.
class CStartedApp {
public:
    explicit CStartedApp(IMainWindow &window, bool ticks = false);
    ~CStartedApp();
    CStartedApp(const CStartedApp &) = delete;
    CStartedApp &operator=(const CStartedApp &) = delete;
};

class CRecordingSink : public IMessageSink {
public:
    CRecordingSink() { m_pPrevious = SetMessageSink(this); }
    ~CRecordingSink() override { SetMessageSink(m_pPrevious); }
    int ShowMessageBox(const std::string &text, unsigned type) override
    {
        Messages.push_back(text);
        Types.push_back(type);
        return IDOK;
    }
    std::vector<std::string> Messages;
    std::vector<unsigned> Types;

private:
    IMessageSink *m_pPrevious = nullptr;
};

} // namespace kestrow::test
