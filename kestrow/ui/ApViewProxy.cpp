#include "ApViewProxy.h"

#include "StationModel.h"
#include "SurveyTable.h"

namespace kestrow {

CApViewProxy::CApViewProxy(CStationModel &model, QObject *parent) : QSortFilterProxyModel(parent), m_Model(model)
{
    setDynamicSortFilter(true);
    setSourceModel(&model);
}

std::string CApViewProxy::RowKey(int sourceRow) const
{
    return m_Model.Row(sourceRow).stationKey;
}

QModelIndex CApViewProxy::IndexOfKey(const std::string &rowKey) const
{
    const int row = m_Model.RowOfStation(rowKey);
    return row < 0 ? QModelIndex() : mapFromSource(m_Model.index(row, 0));
}

bool CApViewProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const auto column = static_cast<std::size_t>(left.column());
    const std::string a = CSurveyTable::SortKey(m_Model.Row(left.row()).cells[column], RowKey(left.row()));
    const std::string b = CSurveyTable::SortKey(m_Model.Row(right.row()).cells[column], RowKey(right.row()));
    return a < b;
}

} // namespace kestrow
