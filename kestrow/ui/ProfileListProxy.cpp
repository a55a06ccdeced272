#include "ProfileListProxy.h"

#include "ProfileModel.h"

namespace kestrow {

CProfileListProxy::CProfileListProxy(CProfileModel &model, bool autoSelection, QObject *parent)
    : QSortFilterProxyModel(parent), m_Model(model), m_bAutoSelection(autoSelection)
{
    setDynamicSortFilter(true);
    setSourceModel(&model);
    sort(0);
}

const CProfileRow &CProfileListProxy::RowAt(const QModelIndex &index) const
{
    return m_Model.At(mapToSource(index).row());
}

QModelIndex CProfileListProxy::IndexOfName(const std::string &name) const
{
    const int row = m_Model.RowOfKey(name);
    return row < 0 ? QModelIndex() : mapFromSource(m_Model.index(row, 0));
}

bool CProfileListProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    return !sourceParent.isValid() && m_Model.At(sourceRow).member == m_bAutoSelection;
}

bool CProfileListProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    return m_Model.At(left.row()).order < m_Model.At(right.row()).order;
}

} // namespace kestrow
