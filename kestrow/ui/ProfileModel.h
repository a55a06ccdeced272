// CProfileModel: the profiles of the store as one item model for the
// Profiles page, a row per profile known by its name, with three columns
// (profile name, network name, security).  Each row knows whether it is in
// the auto-selection list and its place in its list, so CProfileListProxy
// can show either list in its order; whether it carries the connected mark;
// and whether its priority can move up or down.  Rows are updated in place
// (see CKeyedTableModel), so a selection follows its profile.
#pragma once

#include <string>
#include <vector>

#include "KeyedTableModel.h"

namespace kestrow {

class CKestrowApp;

struct CProfileRow {
    std::string name;
    std::string netName;  // bytes
    bool wep = false;
    bool member = false;  // in the auto-selection list
    bool autoSelect = false;  // the record's own flag
    int order = 0;        // place in its list
    bool connected = false;
    bool canMoveUp = false;
    bool canMoveDown = false;
    const std::string &Key() const { return name; }
    bool operator==(const CProfileRow &) const = default;
};

class CProfileModel : public CKeyedTableModel<CProfileRow> {
    Q_OBJECT
public:
    enum Role : int { NameRole = Qt::UserRole, MemberRole, OrderRole, ConnectedRole };

    explicit CProfileModel(QObject *parent = nullptr);

    // The rows of the application's store in the order of CProfileListing.
    // The caller holds the main lock (or owns the store alone).
    static std::vector<CProfileRow> ReadRows(const CKestrowApp &app);
    void Apply(std::vector<CProfileRow> rows) { ApplyRows(std::move(rows)); }

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
};

} // namespace kestrow
