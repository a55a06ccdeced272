// CNetViewProxy: the network view of the site survey over a CStationModel:
// one row per network name, the first station of the name in key order
// standing for it, and the first four columns.  Its rows are known by the
// name; the row is coloured when any station of the name is the connected
// one, while the icon stays that of the standing station.
#pragma once

#include "ApViewProxy.h"

namespace kestrow {

class CNetViewProxy : public CApViewProxy {
    Q_OBJECT
public:
    explicit CNetViewProxy(CStationModel &model, QObject *parent = nullptr);

    std::string RowKey(int sourceRow) const override;
    QModelIndex IndexOfKey(const std::string &rowKey) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool filterAcceptsColumn(int sourceColumn, const QModelIndex &sourceParent) const override;
};

} // namespace kestrow
