// CApViewProxy: the access-point view of the site survey over a
// CStationModel: every station, all seven columns, sorted by the survey's
// byte-wise rule (the bytes of the cell text, then " -- " and the row key,
// so no two rows ever compare equal; descending is the exact reverse).
// Sorting and filtering follow every change of the model, so a station
// keeps its selection while its values change.
#pragma once

#include <QSortFilterProxyModel>

#include <string>

namespace kestrow {

class CStationModel;

class CApViewProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit CApViewProxy(CStationModel &model, QObject *parent = nullptr);

    CStationModel &Stations() const { return m_Model; }
    // The key a row of this view is known by (the station key here).
    virtual std::string RowKey(int sourceRow) const;
    // The proxy row of a row key; invalid when no row has it.
    virtual QModelIndex IndexOfKey(const std::string &rowKey) const;

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    CStationModel &m_Model;
};

} // namespace kestrow
