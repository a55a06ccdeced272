// CHistoryPlot: the Statistics page's small plot of the last ten minutes:
// the signal (in dBm or percent, as the preferences say) on top and the
// receive and send throughput below, one point per sample, newest at the
// right; until ten minutes are held the time axis spans what is held.  A plain QPainter widget: the plot is a few hundred points, which
// needs no charting library (whose start-up time and memory the window
// would pay even when the page is never shown).
#pragma once

#include <QWidget>

#include <vector>

#include "LinkHistory.h"

namespace kestrow {

class CHistoryPlot : public QWidget {
    Q_OBJECT
public:
    explicit CHistoryPlot(QWidget *parent = nullptr);

    // The samples, oldest first; repaints only when they changed.
    void SetSamples(std::vector<CLinkSample> samples);
    void SetShowDbm(bool dbm);
    const std::vector<CLinkSample> &Samples() const { return m_Samples; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<CLinkSample> m_Samples;
    bool m_bDbm = false;
};

} // namespace kestrow
