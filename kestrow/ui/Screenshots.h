// CScreenshots: "--screenshots DIR".  Waits for the main window's first full
// refresh after its set-up, writes a PNG of each page and of the Available
// Networks dialog into DIR, then ends the program.  Without an adapter no
// full refresh comes: the pages are taken as they are, at once.
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
    // Takes the pictures now; true when every file was written.
    bool TakeAll();

    const QStringList &Written() const { return m_Written; }

signals:
    // After the pictures were taken; `ok` false when one could not be written.
    void Finished(bool ok);

private:
    bool Save(QWidget &widget, const QString &name);
    void Finish(bool timedOut);

    CKestrowDlg &m_Dlg;
    QString m_strDir;
    QTimer m_Timeout;
    QStringList m_Written;
    bool m_bDone = false;
};

} // namespace kestrow
