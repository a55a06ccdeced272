// CKeyedTableModel: a flat table model whose rows are known by a key
// (Row::Key(), a std::string), updated in place.  ApplyRows takes a new set
// of rows and removes only the rows whose keys went, sends dataChanged only
// for rows that changed, and inserts only rows with new keys (after the
// others).  Rows never move inside the model: views order them through a
// proxy, and persistent indexes (selection, current row) follow a row
// through every update.
#pragma once

#include <QAbstractTableModel>

#include <iterator>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrow {

template <class Row>
class CKeyedTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
    }
    const Row &At(int row) const { return m_Rows[static_cast<std::size_t>(row)]; }
    // The row of `key`; -1 when none.
    int RowOfKey(const std::string &key) const
    {
        const auto it = m_KeyRows.find(key);
        return it == m_KeyRows.end() ? -1 : it->second;
    }

protected:
    // Called with the rows as they will be, in their final order, before
    // they are compared with the present ones: derived values are set here.
    virtual void Prepare(std::vector<Row> &rows) { (void)rows; }

    void ApplyRows(std::vector<Row> rows)
    {
        std::unordered_map<std::string, std::size_t> incoming;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            incoming.emplace(rows[i].Key(), i);
        }
        auto stays = [&incoming](const Row &row) { return incoming.count(row.Key()) != 0; };

        // Rows that went: one removal per run of adjacent rows, from the end.
        for (int last = rowCount() - 1; last >= 0;) {
            if (stays(At(last))) {
                --last;
                continue;
            }
            int first = last;
            while (first > 0 && !stays(At(first - 1))) {
                --first;
            }
            beginRemoveRows(QModelIndex(), first, last);
            m_Rows.erase(m_Rows.begin() + first, m_Rows.begin() + last + 1);
            endRemoveRows();
            last = first - 1;
        }

        // The rows as they will be: those that stay where they are, the new
        // ones after them (a repeated key counts once).
        std::vector<Row> next;
        next.reserve(rows.size());
        std::vector<bool> placed(rows.size(), false);
        for (const Row &row : m_Rows) {
            const std::size_t i = incoming[row.Key()];
            placed[i] = true;
            next.push_back(std::move(rows[i]));
        }
        const std::size_t kept = next.size();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!placed[i] && incoming[rows[i].Key()] == i) {
                next.push_back(std::move(rows[i]));
            }
        }
        m_KeyRows.clear();
        for (std::size_t r = 0; r < next.size(); ++r) {
            m_KeyRows.emplace(next[r].Key(), static_cast<int>(r));
        }
        Prepare(next);

        for (std::size_t r = 0; r < kept; ++r) {
            if (next[r] == m_Rows[r]) {
                continue;
            }
            m_Rows[r] = std::move(next[r]);
            const int row = static_cast<int>(r);
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        }
        if (next.size() > kept) {
            beginInsertRows(QModelIndex(), static_cast<int>(kept), static_cast<int>(next.size()) - 1);
            m_Rows.insert(m_Rows.end(), std::make_move_iterator(next.begin() + static_cast<std::ptrdiff_t>(kept)),
                          std::make_move_iterator(next.end()));
            endInsertRows();
        }
    }

private:
    std::vector<Row> m_Rows;
    std::unordered_map<std::string, int> m_KeyRows;
};

} // namespace kestrow
