// CScreenshots: "--screenshots DIR".  Waits for the main window's first full
// refresh after its set-up, then shows each page in turn, waits for the
// values its activation asked for (on the Statistics page, a few seconds of
// history too), and writes a PNG of it and of the Available Networks dialog
// into DIR, then ends the program.  Without an
// adapter no full refresh comes: the pages are taken as they are.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace kestrow {

class CKestrowDlg;

class CScreenshots : public QObject {
    Q_OBJECT
public:
    // `timeoutMs`: when no full refresh comes in that time (the adapter
    // went away, no polling thread), the pictures are taken all the same.
    CScreenshots(CKestrowDlg &dlg, QString dir, int timeoutMs = 10000);

    // Starts waiting.  False when the folder cannot be created.
    bool Start();

    const QStringList &Written() const { return m_Written; }

signals:
    // After the pictures were taken; `ok` false when one could not be written.
    void Finished(bool ok);

private:
    bool Save(QWidget &widget, const QString &name);
    // The first full refresh came (or none will): the pictures begin.
    void Begin(bool timedOut);
    // Shows page `m_nPage` and waits for its values, or takes the Available
    // Networks pictures and finishes after the last page.
    void NextPage();
    // The page's values are in: takes it, on the Statistics page once the
    // history plot holds kPlotSamples.
    void TakePageWhenReady();
    void TakePage();
    bool TakeSite();
    // The tray icon of every link state, as tray-<state>.png.
    bool TakeTrayIcons();

    CKestrowDlg &m_Dlg;
    QString m_strDir;
    QTimer m_Timeout;
    QTimer m_PageTimeout;  // a page whose values do not come is taken as it is
    QStringList m_Written;
    bool m_bStarted = false;
    static constexpr int kPlotSamples = 8;
    bool m_bWaitingForPage = false;
    bool m_bPageValuesIn = false;
    bool m_bOk = true;
    bool m_bWithAdapter = true;
    int m_nPage = 0;
    int m_nPrevious = 0;
};

} // namespace kestrow
