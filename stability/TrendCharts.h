#pragma once
// The three charts of the stability window against the date and time of
// each frame: mean rate, peak centre and slope b, one line per channel in
// the channel colours of the main window's background chart, and the marked
// outliers drawn over them as rings.
#include <QColor>
#include <QVector>
#include <QWidget>
#include <array>
#include <vector>

#include <qcustomplot.h>

#include "trend/Outliers.h"
#include "trend/TrendTable.h"

namespace stability {

/// Colour of detector channel c (1..4) at [c-1].
inline const std::array<QColor, kFonChannels> kChannelColours{QColor(255, 0, 0), QColor(0, 0, 160),
                                                              QColor(0, 128, 0), QColor(255, 128, 64)};

/// The rule of the outlier rings as the legend states it.
QString OutlierRuleText();

/// Which chart: mean rate, peak centre, slope b.
enum class TrendChart { Rate = 0, Centre = 1, Slope = 2 };

/// Three stacked charts sharing one date-time axis range. Every frame has a
/// marker; lines join the frames of one file (one run) only. The first chart
/// carries the legend: the channels and the rule of the outlier rings.
class TrendCharts : public QWidget {
    Q_OBJECT
public:
    /// The three charts, empty, with the channel legend on the first.
    explicit TrendCharts(QWidget* parent = nullptr);

    /// Removes every point and mark.
    void Clear();
    /// Makes room for `frames` frames from `files` files in every line.
    void Reserve(size_t frames, size_t files);
    /// Queues rows from `from` to the end of the table; frames without a
    /// valid date are left out, and a line breaks where a new file begins.
    void AddRows(const trend::TrendTable& t, size_t from);
    /// Hands the queued points to the charts, sets the axes to the ranges
    /// kept while queuing (no pass over the points) and asks for a redraw
    /// (done by the event loop).
    void Flush();
    /// The same for one chart, the next in turn: during a scan the work of
    /// one hand-over and redraw is split over three event-loop turns.
    void FlushNext();
    /// Draws `marks` (rates and centres) as rings over the lines.
    void SetOutliers(const trend::TrendTable& t, const std::vector<trend::Outlier>& marks);

    /// The chart of one quantity.
    QCustomPlot* Chart(TrendChart which) const { return plots_[static_cast<size_t>(which)]; }
    /// The line of channel c (1..4) on a chart.
    QCPGraph* Line(TrendChart which, int c) const { return lines_[static_cast<size_t>(which)][static_cast<size_t>(c - 1)]; }
    /// The outlier rings of channel c (1..4) on a chart (rate and centre only).
    QCPGraph* Rings(TrendChart which, int c) const { return rings_[static_cast<size_t>(which)][static_cast<size_t>(c - 1)]; }

private:
    using Pending = std::array<std::array<QVector<QCPGraphData>, kFonChannels>, 3>;

    /// Chart `which` with its title, date-time axis, lines and (optionally) rings.
    QCustomPlot* MakeChart(size_t which, const QString& title, const QString& valueAxis, bool rings);
    void FlushChart(size_t which); ///< queued points of one chart into its lines
    void Rescale(size_t which);    ///< axes of one chart from the kept ranges, and a redraw

    std::array<QCustomPlot*, 3> plots_{};
    std::array<std::array<QCPGraph*, kFonChannels>, 3> lines_{};
    std::array<std::array<QCPGraph*, kFonChannels>, 3> rings_{};
    Pending pending_;
    /// Every point of each line, shared with its graph between flushes: the
    /// graph lets go of it while a flush appends, so appending never copies
    /// what is there (QCPDataContainer::add would).
    Pending all_;
    /// The file of each point of pending_ and all_, -1 for a line break.
    using PendingFiles = std::array<std::array<QVector<int32_t>, kFonChannels>, 3>;
    PendingFiles pendingFiles_, allFiles_;
    int32_t lastFile_ = -1; ///< file of the last row queued, for the line breaks
    QCPRange keys_;                          ///< time range of all points queued so far
    bool haveKeys_ = false;
    std::array<QCPRange, 3> values_;         ///< value range of each chart's points
    std::array<bool, 3> haveValues_{};
    size_t next_ = 0;        ///< chart FlushNext takes next
    bool rescaling_ = false; ///< axes set by Rescale: not passed on to the other charts
};

} // namespace stability
