#include "IconPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

// Design grid: 48 units.  Rectangles are snapped to whole pixels of the
// target size so that edges fall on pixel boundaries.
struct Grid {
    double s;  // pixels per unit
    explicit Grid(int size) : s(size / 48.0) {}
    int px(double units) const { return static_cast<int>(std::lround(units * s)); }
    QRect rect(double x0, double y0, double x1, double y1) const {
        const int l = px(x0), t = px(y0);
        return QRect(l, t, std::max(1, px(x1) - l), std::max(1, px(y1) - t));
    }
};

const QColor kBodyTop(0x2b, 0x4c, 0x7e);
const QColor kBodyBottom(0x16, 0x2a, 0x4a);
const QColor kMetalLight(0xe4, 0xe8, 0xee);
const QColor kMetalDark(0x9a, 0xa3, 0xb0);
const QColor kWave(0x12, 0x8c, 0xf0);
const QColor kLed(0x3c, 0xd0, 0x5a);

// One radio-wave fan: `count` arcs of 90 degrees opening upwards around c,
// evenly spaced up to the outer radius rMax.
void DrawWaves(QPainter &p, QPointF c, double rMax, int count, double width,
               const QColor &colour) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < count; ++i) {
        const double r = rMax * (i + 1) / count;
        p.drawArc(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
}

} // namespace

QImage CIconPainter::ProgramIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const Grid g(size);
    const bool small = size < 32;

    // The adapter: a stick standing upright, its USB plug at the bottom.
    const QRect body = small ? g.rect(14, 23, 34, 39) : g.rect(15, 23, 33, 39);
    const QRect plug = g.rect(18.5, body.bottom() / g.s, 29.5, 47.5);
    p.setPen(Qt::NoPen);
    p.setBrush(kMetalDark);
    p.drawRect(plug);
    if (plug.width() > 4 && plug.height() > 3) {
        p.setBrush(kMetalLight);
        p.drawRect(plug.adjusted(1, 1, -1, -1));
        if (size >= 40) {  // the two contact windows of the plug
            p.setBrush(QColor(0x55, 0x5e, 0x6b));
            const int y = plug.top() + plug.height() / 2 - g.px(1.5);
            p.drawRect(QRect(plug.left() + g.px(2.5), y, g.px(2.5), g.px(2.5)));
            p.drawRect(QRect(plug.right() - g.px(5), y, g.px(2.5), g.px(2.5)));
        }
    }
    QLinearGradient grad(body.topLeft(), body.bottomLeft());
    grad.setColorAt(0, kBodyTop);
    grad.setColorAt(1, kBodyBottom);
    p.setBrush(grad);
    const double radius = std::max(1.0, 3.0 * g.s);
    p.drawRoundedRect(QRectF(body), radius, radius);
    if (!small) {
        // A highlight along the left edge gives the body some depth.
        p.setBrush(QColor(255, 255, 255, 45));
        p.drawRoundedRect(QRectF(body.left() + 1, body.top() + 1, std::max(1, body.width() / 4),
                                 body.height() - 2),
                          radius / 2, radius / 2);
        p.setBrush(kLed);
        const double led = std::max(2.0, 3.5 * g.s);
        p.drawEllipse(QPointF(body.center().x() + 0.5, body.top() + 5.0 * g.s), led / 2, led / 2);
    }

    // Radio waves rising from the top of the adapter, filling the space above.
    const double pen = size <= 16 ? 1.5 : size < 32 ? 2.0 : 3.4 * g.s;
    const QPointF centre(size / 2.0, body.top() - std::max(1.0, 1.5 * g.s));
    const double rMax = centre.y() - pen / 2 - std::max(0.5, g.s);
    DrawWaves(p, centre, rMax, size < 32 ? 2 : 3, pen, kWave);
    return img;
}

namespace {

// The badge behind every tray picture, in a top and a bottom colour.
void DrawBadge(QPainter &p, int size, const QColor &top, const QColor &bottom, const QColor &rim) {
    const double border = size <= 16 ? 1.0 : std::max(1.5, size / 24.0);
    const double edge = border / 2;
    const QRectF badge(edge, edge, size - border, size - border);
    QLinearGradient grad(badge.topLeft(), badge.bottomLeft());
    grad.setColorAt(0, top);
    grad.setColorAt(1, bottom);
    p.setPen(QPen(rim, border));
    p.setBrush(grad);
    const double radius = size * 0.22;
    p.drawRoundedRect(badge, radius, radius);
}

} // namespace

const char *CIconPainter::TrayStateStem(TrayState state) {
    switch (state) {
    case TrayState::NotConnected: return "tray-notconnected";
    case TrayState::Poor: return "tray-poor";
    case TrayState::Fair: return "tray-fair";
    case TrayState::Good: return "tray-good";
    case TrayState::Excellent: return "tray-excellent";
    case TrayState::NoAdapter: return "tray-noadapter";
    }
    return "tray";
}

QImage CIconPainter::TrayStateIcon(int size, TrayState state) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    const bool connected = state != TrayState::NotConnected && state != TrayState::NoAdapter;
    if (connected)
        DrawBadge(p, size, QColor(0x2f, 0x8f, 0xf2), QColor(0x0f, 0x4f, 0xa8), QColor(0x0a, 0x2f, 0x66));
    else
        DrawBadge(p, size, QColor(0x9a, 0xa1, 0xaa), QColor(0x5d, 0x64, 0x6e), QColor(0x3a, 0x3f, 0x46));

    // The fan: a source dot and three arcs; a connection lights as many
    // arcs as its level has (poor: the dot alone), the rest stay faint.
    const int lit = state == TrayState::Excellent ? 3
                    : state == TrayState::Good    ? 2
                    : state == TrayState::Fair    ? 1
                                                  : 0;
    const QColor faint(255, 255, 255, 80);
    const QPointF source(size / 2.0, size * 0.74);
    p.setPen(Qt::NoPen);
    p.setBrush(connected ? QColor(Qt::white) : faint);
    const double dot = std::max(1.3, size * 0.085);
    p.drawEllipse(source, dot, dot);
    const double pen = size <= 16 ? 1.4 : size * 0.08;
    constexpr int kArcs = 3;
    for (int i = 0; i < kArcs; ++i) {
        const double r = size * 0.5 * (i + 1) / kArcs;
        p.setPen(QPen(i < lit ? QColor(Qt::white) : faint, pen, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(source.x() - r, source.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
    }
    if (state == TrayState::NoAdapter) {
        // A red stroke across the badge.
        const double w = size <= 16 ? 2.0 : size * 0.11;
        p.setPen(QPen(QColor(0xd9, 0x2b, 0x2b), w, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(size * 0.2, size * 0.2), QPointF(size * 0.8, size * 0.8));
    }
    return img;
}

QImage CIconPainter::TrayIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);

    // A round-cornered blue badge that stays visible on light and dark panels.
    const double border = size <= 16 ? 1.0 : std::max(1.5, size / 24.0);
    const double edge = border / 2;
    const QRectF badge(edge, edge, size - border, size - border);
    QLinearGradient grad(badge.topLeft(), badge.bottomLeft());
    grad.setColorAt(0, QColor(0x2f, 0x8f, 0xf2));
    grad.setColorAt(1, QColor(0x0f, 0x4f, 0xa8));
    p.setPen(QPen(QColor(0x0a, 0x2f, 0x66), border));
    p.setBrush(grad);
    const double radius = size * 0.22;
    p.drawRoundedRect(badge, radius, radius);

    // A white radio fan: a source dot and arcs above it.
    const QPointF source(size / 2.0, size * 0.74);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    const double dot = std::max(1.3, size * 0.085);
    p.drawEllipse(source, dot, dot);
    const double pen = size <= 16 ? 1.6 : size * 0.09;
    DrawWaves(p, source, size * 0.5, size >= 32 ? 3 : 2, pen, Qt::white);
    return img;
}
