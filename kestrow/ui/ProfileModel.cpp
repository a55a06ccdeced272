#include "ProfileModel.h"

#include "KestrowApp.h"
#include "ProfileIcons.h"
#include "ProfileListing.h"
#include "ProfileMngr.h"
#include "Station.h"
#include "StationMngr.h"
#include "StationModel.h"

namespace kestrow {

namespace {
constexpr const char *kTitles[] = {"Profile Name", "Network Name (SSID)", "Security"};
} // namespace

CProfileModel::CProfileModel(QObject *parent) : CKeyedTableModel(parent) {}

std::vector<CProfileRow> CProfileModel::ReadRows(const CKestrowApp &app)
{
    std::vector<CProfileRow> rows;
    CProfileMngr *store = app.ProfileMngr();
    if (store == nullptr) {
        return rows;
    }
    // The mark: the profiles of the connected station's network, or the
    // current profile of an ad hoc network this program started.
    const CStation *connected = app.StationMngr() != nullptr ? app.StationMngr()->GetConnectedStation() : nullptr;
    const CProfile *current = connected == nullptr && app.AdHocConnected() ? store->GetCurrent() : nullptr;
    const int members = store->GetAutoSelectCount();
    const CProfileListing listing(*store);
    for (const bool member : {true, false}) {
        int order = 0;
        for (const CProfile *profile : member ? listing.AutoSelection() : listing.Others()) {
            CProfileRow &row = rows.emplace_back();
            row.name = profile->ProfName;
            row.netName = profile->NetName;
            row.wep = profile->SecType != 0;
            row.member = member;
            row.autoSelect = profile->AutoSelect;
            row.order = order++;
            row.connected = connected != nullptr ? connected->NetName == profile->NetName : profile == current;
            row.canMoveUp = member && profile->Priority - 1 >= 0;
            row.canMoveDown = member && profile->Priority + 1 < members;
        }
    }
    return rows;
}

int CProfileModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant CProfileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 3) {
        return QVariant();
    }
    return QString::fromLatin1(kTitles[section]);
}

QVariant CProfileModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount()) {
        return QVariant();
    }
    const CProfileRow &row = At(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0: return QString::fromStdString(row.name);
        case 1: return CStationModel::NetNameText(row.netName);
        default: return row.wep ? QStringLiteral("WEP") : QStringLiteral("None");
        }
    case Qt::DecorationRole:
        if (index.column() == 0 && row.connected) {
            static const QIcon icon = CProfileIcons::Connected();
            return icon;
        }
        return QVariant();
    case NameRole: return QString::fromStdString(row.name);
    case MemberRole: return row.member;
    case OrderRole: return row.order;
    case ConnectedRole: return row.connected;
    default: return QVariant();
    }
}

} // namespace kestrow
