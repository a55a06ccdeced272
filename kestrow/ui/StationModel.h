// CStationModel: the stations of the site survey as one item model, a row
// per station in the order the stations came (the views sort), with the
// seven cells of the access-point view.  CApViewProxy and CNetViewProxy show
// it as the dialog's two views.
//
// Apply() takes a new set of rows and changes the model in place, keyed by
// the station key (see CKeyedTableModel): persistent indexes (a view's
// selection and current row) follow their station through every update.
//
// Besides the row itself the model keeps, per row, whether it stands for its
// network name (the first station of that name in key order) and whether a
// station of its name is the connected one; both are data of the row, so a
// change of either reaches the proxies as dataChanged.
//
// Network names are bytes: the text shown is UTF-8 when the bytes are valid
// UTF-8 and Latin-1 otherwise; the roles below hand out the raw bytes.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

#include <string>
#include <unordered_map>
#include <vector>

#include "KeyedTableModel.h"
#include "SurveyTable.h"

namespace kestrow {

// A row of the model: the station's row and what its name's group gives it.
struct CStationEntry {
    CSurveyRow row;
    bool representative = false;  // the first station of its name in key order
    bool nameConnected = false;   // a station of its name is the connected one
    const std::string &Key() const { return row.stationKey; }
    bool operator==(const CStationEntry &) const = default;
};

class CStationModel : public CKeyedTableModel<CStationEntry> {
    Q_OBJECT
public:
    enum Role : int {
        StationKeyRole = Qt::UserRole,  // QByteArray: "<name>;<channel>"
        NetNameRole,                    // QByteArray: the name's bytes
        ConnectedRole,                  // bool: the connected station
        RepresentativeRole,             // bool: stands for its name
        NameConnectedRole,              // bool: its name is the connected one's
    };
    // Image indexes of the row icons.
    enum : int { IMG_CONNECTED = 0, IMG_EXCELLENT = 1, IMG_FAIR = 2, IMG_GOOD = 3, IMG_POOR = 4 };
    // Background of the connected row: red 133, green 210, blue 252.
    static const QColor kConnectedColour;

    explicit CStationModel(QObject *parent = nullptr);

    // Replaces the rows by `rows` (one per station, every cell filled).
    void Apply(std::vector<CSurveyRow> rows);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const CSurveyRow &Row(int row) const { return At(row).row; }
    bool IsRepresentative(int row) const { return At(row).representative; }
    // The row of a station key, or of the station that stands for a network
    // name; -1 when none.
    int RowOfStation(const std::string &stationKey) const { return RowOfKey(stationKey); }
    int RowOfName(const std::string &netName) const;

    // The row icon of image index 0..4, and the legend's picture of it on
    // the dialog's background.
    static QIcon RowIcon(int index);
    static QPixmap LegendPicture(int index, const QColor &background);
    // The image index of a station that is not the connected one.
    static int IconForLevel(int linkQuality);
    static QString NetNameText(const std::string &bytes);

protected:
    // Sets the per-name flags and the name lookup.
    void Prepare(std::vector<CStationEntry> &entries) override;

private:
    std::unordered_map<std::string, int> m_NameRows;
};

} // namespace kestrow
