// DrawTickMark: the white tick of the "connected" pictures (the site
// survey's connected row icon and the Profiles page's connected mark).
#pragma once

#include <QPainter>
#include <QPainterPath>

namespace kestrow {

// A white tick of pen `width` from `start` down to `corner` and up to `end`.
inline void DrawTickMark(QPainter &p, qreal width, QPointF start, QPointF corner, QPointF end)
{
    p.setPen(QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(start);
    tick.lineTo(corner);
    tick.lineTo(end);
    p.drawPath(tick);
}

} // namespace kestrow
