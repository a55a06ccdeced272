#include "StationModel.h"

#include <QPainter>
#include <QStringDecoder>

#include <array>
#include <map>

#include "TickMark.h"

namespace kestrow {

namespace {

// Colours of the row icons by image index.
const QColor kIconColours[5] = {
    QColor(0x4f, 0xb3, 0xf0),  // connected: light blue
    QColor(0x2e, 0xb8, 0x4a),  // excellent: green
    QColor(0xf0, 0x84, 0x14),  // fair: orange
    QColor(0xf2, 0xcc, 0x14),  // good: yellow
    QColor(0xd9, 0x30, 0x25),  // poor: red
};
// Signal bars drawn on each level's icon (the connected icon has a tick).
constexpr int kIconBars[5] = {0, 4, 2, 3, 1};

// The icon's own picture at 16 x 16 on `background`.
QPixmap DrawIcon(int index, const QColor &background)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(background);
    if (index < 0 || index >= 5) {
        return pixmap;
    }
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor colour = kIconColours[index];
    p.setPen(QPen(colour.darker(150), 1.0));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    if (index == CStationModel::IMG_CONNECTED) {
        DrawTickMark(p, 2.2, QPointF(4, 8.5), QPointF(7, 11.5), QPointF(12, 4.5));
        return pixmap;
    }
    // Four bars rising left to right; the level's bars are white, the rest
    // faint.
    for (int bar = 0; bar < 4; ++bar) {
        const double height = 3.0 + 2.5 * bar;
        const QRectF r(2.5 + 3.0 * bar, 13.0 - height, 2.0, height);
        p.setPen(Qt::NoPen);
        p.setBrush(bar < kIconBars[index] ? QColor(Qt::white) : QColor(255, 255, 255, 70));
        p.drawRect(r);
    }
    return pixmap;
}

QByteArray Bytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

const QColor CStationModel::kConnectedColour(133, 210, 252);

QIcon CStationModel::RowIcon(int index)
{
    // Drawn once: every row of a refresh shares them.
    static const std::array<QIcon, 5> icons = [] {
        std::array<QIcon, 5> made;
        for (int i = 0; i < 5; ++i) {
            made[static_cast<std::size_t>(i)] = QIcon(DrawIcon(i, Qt::transparent));
        }
        return made;
    }();
    return index >= 0 && index < 5 ? icons[static_cast<std::size_t>(index)] : QIcon();
}

QPixmap CStationModel::LegendPicture(int index, const QColor &background)
{
    return DrawIcon(index, background);
}

int CStationModel::IconForLevel(int linkQuality)
{
    switch (CSurveyTable::LevelOf(linkQuality)) {
    case SignalLevel::Poor: return IMG_POOR;
    case SignalLevel::Fair: return IMG_FAIR;
    case SignalLevel::Good: return IMG_GOOD;
    case SignalLevel::Excellent: break;
    }
    return IMG_EXCELLENT;
}

QString CStationModel::NetNameText(const std::string &bytes)
{
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(view);
    if (decoder.hasError()) {
        text = QString::fromLatin1(view);
    }
    return text;
}

CStationModel::CStationModel(QObject *parent) : CKeyedTableModel(parent) {}

int CStationModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : CSurveyTable::kColumns;
}

QVariant CStationModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= CSurveyTable::kColumns) {
        return QVariant();
    }
    return QString::fromLatin1(CSurveyTable::kTitles[static_cast<std::size_t>(section)]);
}

QVariant CStationModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= CSurveyTable::kColumns) {
        return QVariant();
    }
    const CStationEntry &entry = At(index.row());
    const CSurveyRow &row = entry.row;
    switch (role) {
    case Qt::DisplayRole: {
        const std::string &text = row.cells[static_cast<std::size_t>(index.column())];
        if (index.column() == 1) {
            // A hidden network's beacons carry no name: say so (display
            // only; its key and its place in the sort stay as they are).
            return text.empty() ? QStringLiteral("(hidden network)") : NetNameText(text);
        }
        return QString::fromLatin1(Bytes(text));
    }
    case Qt::DecorationRole:
        if (index.column() == 0) {
            return RowIcon(row.connected ? IMG_CONNECTED : IconForLevel(row.linkQuality));
        }
        return QVariant();
    case Qt::BackgroundRole: return row.connected ? QVariant(kConnectedColour) : QVariant();
    case StationKeyRole: return Bytes(row.stationKey);
    case NetNameRole: return Bytes(row.cells[1]);
    case ConnectedRole: return row.connected;
    case RepresentativeRole: return entry.representative;
    case NameConnectedRole: return entry.nameConnected;
    default: return QVariant();
    }
}

int CStationModel::RowOfName(const std::string &netName) const
{
    const auto it = m_NameRows.find(netName);
    return it == m_NameRows.end() ? -1 : it->second;
}

void CStationModel::Prepare(std::vector<CStationEntry> &entries)
{
    m_NameRows.clear();
    // Per name: the row with the smallest key (std::string orders bytes as
    // unsigned chars), and whether any of its stations is connected.
    std::map<std::string, bool> nameConnected;
    for (std::size_t r = 0; r < entries.size(); ++r) {
        const CSurveyRow &row = entries[r].row;
        const auto [it, first] = m_NameRows.emplace(row.cells[1], static_cast<int>(r));
        if (!first && row.stationKey < entries[static_cast<std::size_t>(it->second)].row.stationKey) {
            it->second = static_cast<int>(r);
        }
        nameConnected[row.cells[1]] = nameConnected[row.cells[1]] || row.connected;
    }
    for (std::size_t r = 0; r < entries.size(); ++r) {
        CStationEntry &entry = entries[r];
        entry.representative = m_NameRows[entry.row.cells[1]] == static_cast<int>(r);
        entry.nameConnected = nameConnected[entry.row.cells[1]];
    }
}

void CStationModel::Apply(std::vector<CSurveyRow> rows)
{
    std::vector<CStationEntry> entries;
    entries.reserve(rows.size());
    for (CSurveyRow &row : rows) {
        entries.emplace_back().row = std::move(row);
    }
    ApplyRows(std::move(entries));
}

} // namespace kestrow
