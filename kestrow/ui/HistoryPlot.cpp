#include "HistoryPlot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <string>

#include "Conversions.h"

namespace kestrow {

namespace {

const QColor kSignalColour(0x12, 0x8c, 0xf0);
const QColor kRxColour(0x2e, 0x9e, 0x44);
const QColor kTxColour(0xd9, 0x7a, 0x1b);
constexpr int kLabelWidth = 64;

// The signal as plotted: percent 0..99, or dBm -100..-20 lifted to 0..80.
double SignalValue(int dbm, bool showDbm)
{
    std::string unused;
    const int percent = FormatSignal(dbm, &unused, false);
    return showDbm ? std::clamp(dbm, -100, -20) + 100.0 : static_cast<double>(percent);
}

// A polyline of `value` over the samples in `area`, scaled to `top`; a
// sample without a value breaks the line.
template <typename Value>
QPainterPath Line(const std::vector<CLinkSample> &samples, const QRectF &area, double top, Value value)
{
    QPainterPath path;
    bool open = false;
    // Until ten minutes are held the time axis spans the samples held, so
    // the plot fills its width from the first samples on; after that it
    // scrolls.  The newest sample sits at the right edge.
    const std::size_t span = std::clamp<std::size_t>(samples.size(), 2, CLinkHistory::kCapacity);
    const double step = area.width() / static_cast<double>(span - 1);
    const double x0 = area.right() - step * static_cast<double>(samples.size() - 1);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::optional<double> v = value(samples[i]);
        if (!v) {
            open = false;
            continue;
        }
        const QPointF p(x0 + step * static_cast<double>(i),
                        area.bottom() - area.height() * std::clamp(*v / top, 0.0, 1.0));
        if (open)
            path.lineTo(p);
        else
            path.moveTo(p);
        open = true;
    }
    return path;
}

} // namespace

CHistoryPlot::CHistoryPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HistoryPlot"));
    setAccessibleName(QStringLiteral("Signal and throughput over the last 10 minutes"));
    setMinimumHeight(110);
}

QSize CHistoryPlot::sizeHint() const
{
    return {360, 140};
}

void CHistoryPlot::SetSamples(std::vector<CLinkSample> samples)
{
    const auto same = [](const CLinkSample &a, const CLinkSample &b) {
        return a.signalDbm == b.signalDbm && a.rxKBps == b.rxKBps && a.txKBps == b.txKBps;
    };
    if (samples.size() == m_Samples.size() && std::equal(samples.begin(), samples.end(), m_Samples.begin(), same))
        return;
    m_Samples = std::move(samples);
    update();
}

void CHistoryPlot::SetShowDbm(bool dbm)
{
    if (dbm != m_bDbm) {
        m_bDbm = dbm;
        update();
    }
}

void CHistoryPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF all = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double half = all.height() / 2;
    const QRectF signal(all.left() + kLabelWidth, all.top() + 2, all.width() - kLabelWidth - 2, half - 6);
    const QRectF traffic(signal.left(), all.top() + half + 4, signal.width(), half - 6);

    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(signal);
    p.drawRect(traffic);

    std::int32_t peak = 1;
    for (const CLinkSample &s : m_Samples)
        peak = std::max({peak, s.rxKBps, s.txKBps});

    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    const auto label = [&](const QRectF &area, const QString &top, const QString &name) {
        p.drawText(QRectF(all.left(), area.top(), kLabelWidth - 6, fm.height()), Qt::AlignRight, top);
        p.drawText(QRectF(all.left(), area.bottom() - fm.height(), kLabelWidth - 6, fm.height()), Qt::AlignRight,
                   name);
    };
    label(signal, m_bDbm ? QStringLiteral("-20 dBm") : QStringLiteral("99%"), QStringLiteral("Signal"));
    label(traffic, QStringLiteral("%1 KB/s").arg(peak), QStringLiteral("Rx / Tx"));
    if (m_Samples.empty())
        return;

    p.setBrush(Qt::NoBrush);
    const bool dbm = m_bDbm;
    p.setPen(QPen(kSignalColour, 1.5));
    p.drawPath(Line(m_Samples, signal, dbm ? 80.0 : 99.0, [dbm](const CLinkSample &s) -> std::optional<double> {
        return s.signalDbm ? std::optional<double>(SignalValue(*s.signalDbm, dbm)) : std::nullopt;
    }));
    const double top = static_cast<double>(peak);
    p.setPen(QPen(kRxColour, 1.5));
    p.drawPath(Line(m_Samples, traffic, top, [](const CLinkSample &s) -> std::optional<double> {
        return static_cast<double>(s.rxKBps);
    }));
    p.setPen(QPen(kTxColour, 1.5));
    p.drawPath(Line(m_Samples, traffic, top, [](const CLinkSample &s) -> std::optional<double> {
        return static_cast<double>(s.txKBps);
    }));
}

} // namespace kestrow
