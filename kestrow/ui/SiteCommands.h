// CSiteCommands: the site survey's commands on a station (Connect, Save as
// profile, Edit connection, Rescan) and the building of the survey's rows,
// for the Available Networks dialog.
//
// Threads: what reads the station list or talks to the adapter runs on the
// device worker (RunCoreTask) under the main lock, bounded wait.  An edit
// sheet runs on the user-interface thread on a copy of the station that the
// worker made; it holds the main lock only in its try form (the sheet's
// pages find their record through the store) and is skipped when the lock
// is busy.  While a command is under way the commands are Busy().
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BusyState.h"
#include "SurveyTable.h"

class QWidget;

namespace kestrow {

class CEditProfile;
class CStation;

class CSiteCommands : public QObject {
    Q_OBJECT
public:
    // Runs a modal edit sheet; returns QDialog::Accepted or Rejected.
    using SheetRunner = std::function<int(CEditProfile &sheet)>;
    // Asks for the name of a hidden network; nullopt when cancelled.
    using NamePrompt = std::function<std::optional<std::string>()>;

    // `owner` is the parent of the edit sheets.
    explicit CSiteCommands(QWidget &owner);

    // Worker side: the rows of the access-point view in ascending order of
    // column 0, after taking the latest scan results into the station list
    // when `updateFromScan`; nullopt when the main lock stayed busy.
    static std::optional<std::vector<CSurveyRow>> BuildRows(bool updateFromScan);

    // Starts a scan; a refused scan is not reported.
    void Rescan();
    // Joins the station of `row` (asking for a WEP key when it needs one;
    // for a hidden network, for its name first, and then the previous
    // connection is put back when the join fails).
    void Connect(const CSurveyRow &row);
    // Saves the station of `stationKey` as a profile through the edit sheet.
    void SaveProfile(const std::string &stationKey);
    // Edits the security of the connected station `row` and writes it.
    void EditConnection(const CSurveyRow &row);

    bool Busy() const { return m_Busy.Busy(); }
    void SetSheetRunner(SheetRunner runner) { m_SheetRunner = std::move(runner); }
    void SetNamePrompt(NamePrompt prompt) { m_NamePrompt = std::move(prompt); }

signals:
    void BusyChanged();
    // A command has changed what the survey shows: its rows are due again.
    void StationsChanged();

private:
    enum EditMode : int { EDIT_CONNECTION, EDIT_SECURITY };
    void SetBusy(bool busy);
    // Copies the station of `key` on the worker, then runs `next` here with
    // the copy (not when it is gone); busy meanwhile.
    void WithStationCopy(const std::string &key, std::function<void(std::shared_ptr<CStation>)> next);
    // Joins `station`; a hidden network's under `hiddenName`.
    void Join(std::shared_ptr<CStation> station, std::optional<std::string> hiddenName);
    std::optional<std::string> AskNetworkName();
    // Runs the sheet of `mode` on `station` as the store's edit-station
    // record; false when cancelled or when the main lock is busy.
    bool EditStation(CStation &station, EditMode mode);
    void ApplyConnectionEdit(std::shared_ptr<CStation> station);
    int RunSheet(CEditProfile &sheet);

    QWidget &m_Owner;
    CBusyState m_Busy;
    SheetRunner m_SheetRunner;
    NamePrompt m_NamePrompt;
};

} // namespace kestrow
