#include "ProfileIcons.h"

#include <QPixmap>

#include "TickMark.h"

namespace kestrow {

namespace {
constexpr int kIconSize = CProfileIcons::kSize;
} // namespace

QIcon CProfileIcons::Connected()
{
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x1B, 0x5E, 0x20), 1));
    p.setBrush(QColor(0x43, 0xA0, 0x47));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    DrawTickMark(p, 2, QPointF(4.5, 8.5), QPointF(7, 11), QPointF(11.5, 5.5));
    return QIcon(pixmap);
}

QIcon CProfileIcons::Arrow(bool up)
{
    QIcon icon;
    for (const bool enabled : {true, false}) {
        QPixmap pixmap(kIconSize, kIconSize);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor colour = enabled ? QColor(0x1A, 0x4F, 0x8B) : QColor(0xA0, 0xA0, 0xA0);
        p.setPen(QPen(colour.darker(120), 1));
        p.setBrush(colour);
        QPolygonF arrow;
        if (up) {
            arrow << QPointF(8, 2) << QPointF(14, 9) << QPointF(10.5, 9) << QPointF(10.5, 14)
                  << QPointF(5.5, 14) << QPointF(5.5, 9) << QPointF(2, 9);
        } else {
            arrow << QPointF(8, 14) << QPointF(14, 7) << QPointF(10.5, 7) << QPointF(10.5, 2)
                  << QPointF(5.5, 2) << QPointF(5.5, 7) << QPointF(2, 7);
        }
        p.drawPolygon(arrow);
        p.end();
        icon.addPixmap(pixmap, enabled ? QIcon::Normal : QIcon::Disabled);
    }
    return icon;
}

} // namespace kestrow
