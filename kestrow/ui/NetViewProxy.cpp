#include "NetViewProxy.h"

#include "StationModel.h"
#include "SurveyTable.h"

namespace kestrow {

CNetViewProxy::CNetViewProxy(CStationModel &model, QObject *parent) : CApViewProxy(model, parent)
{
    // The base took the model before this class's filter existed.
    invalidate();
}

std::string CNetViewProxy::RowKey(int sourceRow) const
{
    return Stations().Row(sourceRow).cells[1];
}

QModelIndex CNetViewProxy::IndexOfKey(const std::string &rowKey) const
{
    const int row = Stations().RowOfName(rowKey);
    return row < 0 ? QModelIndex() : mapFromSource(Stations().index(row, 0));
}

QVariant CNetViewProxy::data(const QModelIndex &index, int role) const
{
    if (role == Qt::BackgroundRole && index.isValid()) {
        const bool coloured = mapToSource(index).data(CStationModel::NameConnectedRole).toBool();
        return coloured ? QVariant(CStationModel::kConnectedColour) : QVariant();
    }
    return CApViewProxy::data(index, role);
}

bool CNetViewProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    return !sourceParent.isValid() && Stations().IsRepresentative(sourceRow);
}

bool CNetViewProxy::filterAcceptsColumn(int sourceColumn, const QModelIndex &) const
{
    return sourceColumn < CSurveyTable::kNetViewColumns;
}

} // namespace kestrow
