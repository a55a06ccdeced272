// CProfileListProxy: one list of the Profiles page over a CProfileModel:
// the auto-selection profiles in priority order, or the additional ones in
// name order.  It re-sorts and re-filters on every change of the model, so
// a profile that changes list or place keeps its identity in the views.
#pragma once

#include <QSortFilterProxyModel>

#include <string>

namespace kestrow {

class CProfileModel;
struct CProfileRow;

class CProfileListProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    CProfileListProxy(CProfileModel &model, bool autoSelection, QObject *parent = nullptr);

    bool IsAutoSelection() const { return m_bAutoSelection; }
    const CProfileRow &RowAt(const QModelIndex &index) const;
    // The row of profile `name`; invalid when this list does not hold it.
    QModelIndex IndexOfName(const std::string &name) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    CProfileModel &m_Model;
    bool m_bAutoSelection;
};

} // namespace kestrow
