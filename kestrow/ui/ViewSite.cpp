#include "ViewSite.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

#include "KestrowApp.h"
#include "StringTable.h"

namespace kestrow {

namespace {

struct Column {
    const char *title;
    double apWidth;
    double netWidth;  // 0: not in the network view
};
constexpr std::array<Column, 7> kColumns{{
    {"Link Quality", 0.153237, 0.231773},
    {"Network Name (SSID)", 0.275657, 0.416934},
    {"Mode", 0.119310, 0.180458},
    {"Security", 0.112949, 0.170836},
    {"Channel", 0.112949, 0},
    {"Rate", 0.112949, 0},
    {"MAC", 0.338846, 0},
}};

// Colours of the row icons by image index.
const QColor kIconColours[5] = {
    QColor(0x6c, 0xc4, 0xf5),  // connected: light blue
    QColor(0x2e, 0xb8, 0x4a),  // excellent: green
    QColor(0xf2, 0x8c, 0x1c),  // fair: orange
    QColor(0xf2, 0xd0, 0x1c),  // good: yellow
    QColor(0xd9, 0x30, 0x25),  // poor: red
};

} // namespace

QIcon CViewSite::RowIcon(int index)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    if (index >= 0 && index < 5) {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(kIconColours[index].darker(160), 1.0));
        p.setBrush(kIconColours[index]);
        p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 110));
        p.drawEllipse(QRectF(5, 4.5, 4, 3));
    }
    return QIcon(pixmap);
}

CViewSite::CViewSite(QWidget *parent) : QDialog(parent), m_Controls(this)
{
    setObjectName(QStringLiteral("AvailableNetworks"));
    setWindowTitle(QStringLiteral("Available Networks"));
    setModal(false);
    auto *layout = new QVBoxLayout(this);

    m_pList = CQtControlParent::Tag(new QTreeWidget, IDC_LIST);
    m_pList->setRootIsDecorated(false);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setAllColumnsShowFocus(true);
    m_pList->setMinimumSize(560, 220);
    layout->addWidget(m_pList);

    // The legend of the row icons, left to right.
    auto *legend = new QHBoxLayout;
    const std::array<std::pair<int, const char *>, 5> entries{
        {{1, "Excellent"}, {3, "Good"}, {2, "Fair"}, {4, "Poor"}, {0, "Connected"}}};
    for (const auto &[image, text] : entries) {
        auto *picture = new QLabel;
        picture->setPixmap(RowIcon(image).pixmap(16, 16));
        auto *label = new QLabel(QString::fromLatin1(text));
        if (image == 0) {
            CQtControlParent::Tag(label, IDC_LEGEND_CONNECTED);
        }
        legend->addWidget(picture);
        legend->addWidget(label);
        legend->addSpacing(12);
    }
    legend->addStretch(1);
    layout->addLayout(legend);

    m_pProgress = CQtControlParent::Tag(new QProgressBar, IDC_PROGRESS);
    m_pProgress->setRange(0, 6);
    m_pProgress->setTextVisible(false);
    m_pProgress->hide();
    layout->addWidget(m_pProgress);
    auto *unused = CQtControlParent::Tag(new QLabel(QStringLiteral("Static")), IDC_STATIC);
    unused->hide();
    layout->addWidget(unused);

    auto *buttons = new QHBoxLayout;
    const std::array<std::pair<int, const char *>, 6> commands{{{IDC_CONNECT, "&Connect"},
                                                                 {IDC_SAVE_PROFILE, "Save &Profile"},
                                                                 {IDC_EDIT_CONN, "E&dit Conn."},
                                                                 {IDC_RESCAN, "&Rescan"},
                                                                 {IDC_VIEW, "&View NET"},
                                                                 {IDC_CLOSE, "C&lose"}}};
    for (const auto &[id, text] : commands) {
        auto *button = CQtControlParent::Tag(new QPushButton(QString::fromLatin1(text)), id);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        if (id == IDC_VIEW) {
            m_pViewButton = button;
        }
    }
    buttons->insertStretch(4, 1);
    layout->addLayout(buttons);
    // "C&lose" is the dialog's cancel: it hides the dialog.
    connect(qobject_cast<QPushButton *>(m_Controls.Control(IDC_CLOSE)), &QPushButton::clicked, this,
            &QDialog::reject);

    OnInitDialog();
}

void CViewSite::OnInitDialog()
{
    m_bNetView = theApp().GetProfileInt("", "View AP or NET", 0) != 0;
    SetView();
}

void CViewSite::SetView()
{
    setWindowTitle(m_bNetView ? QStringLiteral("Available Networks") : QStringLiteral("Available AP's"));
    m_pViewButton->setText(QStr(LoadString(m_bNetView ? IDS_AP_VIEW : IDS_NETWORK_VIEW)));
    QStringList titles;
    for (const Column &c : kColumns) {
        if (!m_bNetView || c.netWidth > 0) {
            titles << QString::fromLatin1(c.title);
        }
    }
    m_pList->clear();
    m_pList->setColumnCount(static_cast<int>(titles.size()));
    m_pList->setHeaderLabels(titles);
    const int width = m_pList->viewport()->width() > 100 ? m_pList->viewport()->width()
                                                          : m_pList->minimumWidth();
    for (int i = 0; i < static_cast<int>(titles.size()); ++i) {
        const Column &c = kColumns[static_cast<std::size_t>(i)];
        m_pList->setColumnWidth(i, static_cast<int>((m_bNetView ? c.netWidth : c.apWidth) * width));
    }
    Refresh();
}

void CViewSite::Refresh()
{
    ++m_nRefreshes;
}

} // namespace kestrow
