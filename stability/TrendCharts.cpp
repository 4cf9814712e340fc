#include "stability/TrendCharts.h"

#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace stability {

namespace {

/// Seconds by which a line break lies before the first frame of a file.
constexpr double kBreakBefore = 1e-3;

/// Size in pixels of the marker of every frame and of an outlier's ring.
constexpr double kFrameMarker = 4;
constexpr double kRing = 9;

bool KeyLess(const QCPGraphData& a, const QCPGraphData& b) { return a.key < b.key; }

/// Puts the points (of `files`, -1 for a line break) in time order, with a
/// break wherever a point belongs to another file than the one before it:
/// runs that overlap in time are never joined. Breaks are made afresh.
void OrderWithBreaks(QVector<QCPGraphData>& points, QVector<int32_t>& files)
{
    std::vector<qsizetype> order;
    order.reserve(static_cast<size_t>(points.size()));
    for (qsizetype i = 0; i < points.size(); ++i)
        if (files[i] >= 0)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return points[a].key < points[b].key; });
    QVector<QCPGraphData> p;
    QVector<int32_t> f;
    p.reserve(points.size());
    f.reserve(points.size());
    for (qsizetype i : order) {
        if (f.isEmpty() || files[i] != f.back()) {
            const double key = points[i].key - kBreakBefore;
            p.append(QCPGraphData(p.isEmpty() ? key : std::max(key, p.back().key), std::nan("")));
            f.append(-1);
        }
        p.append(points[i]);
        f.append(files[i]);
    }
    points.swap(p);
    files.swap(f);
}

QCPScatterStyle RingStyle(const QColor& colour)
{
    return QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(colour, 2), Qt::NoBrush, kRing);
}

/// Shows or hides the tick labels of the time axis: an empty chart has no
/// times to show (its default range would read as 01.01.70).
void ShowTimes(QCustomPlot* p, bool on)
{
    p->xAxis->setTickLabels(on);
    p->xAxis->setTicks(on);
}

/// Widens `range` to hold `v`; the first value sets it.
void Widen(QCPRange& range, bool& have, double v)
{
    if (have) {
        range.expand(v);
    } else {
        range = QCPRange(v, v);
        have = true;
    }
}

} // namespace

TrendCharts::TrendCharts(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    plots_[0] = MakeChart(0, QStringLiteral("Средний счёт за точку"), QStringLiteral("Импульсов за точку"), true);
    plots_[1] = MakeChart(1, QStringLiteral("Центр пика (\"Усреднение\")"), QStringLiteral("Бин"), true);
    plots_[2] = MakeChart(2, QStringLiteral("Наклон b интегрального спектра (\"Интегральный\")"), QStringLiteral("b"), false);
    for (QCustomPlot* p : plots_)
        layout->addWidget(p);

    // The legend of the first chart, in a row above its plot so it hides no
    // frame: the four channels and the rule of the rings.
    QCustomPlot* first = plots_[0];
    first->legend->setVisible(true);
    first->legend->setFont(QFont(font().family(), 8));
    first->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    first->legend->setBorderPen(Qt::NoPen);
    first->axisRect()->insetLayout()->take(first->legend);
    first->plotLayout()->insertRow(1);
    first->plotLayout()->addElement(1, 0, first->legend);
    first->plotLayout()->setRowStretchFactor(1, 0.001);
    first->legend->setMargins(QMargins(4, 0, 4, 0));
    for (int c = 1; c <= kFonChannels; ++c)
        first->legend->addItem(new QCPPlottableLegendItem(first->legend, Line(TrendChart::Rate, c)));
    QCPGraph* rule = first->addGraph(); // no points: its ring and name in the legend
    rule->setLineStyle(QCPGraph::lsNone);
    rule->setScatterStyle(RingStyle(Qt::black));
    rule->setName(OutlierRuleText());

    // The three time axes move together.
    for (QCustomPlot* p : plots_) {
        connect(p->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this, p](const QCPRange& r) {
            if (rescaling_)
                return;
            for (QCustomPlot* other : plots_) {
                if (other != p && other->xAxis->range() != r) {
                    other->xAxis->setRange(r);
                    other->replot(QCustomPlot::rpQueuedReplot);
                }
            }
        });
    }
}

QString OutlierRuleText()
{
    return QStringLiteral("Выброс: дальше %1 MAD от медианы всех кадров и дальше %2 σ своего кадра\n"
                          "(σ счёта — по Пуассону; σ центра — своя, не меньше %3/√(точек кадра) и 1 бина:\n"
                          "так разбросан центр неизменных кадров из немногих точек)")
        .arg(trend::kOutlierMads)
        .arg(trend::kOutlierSigmas)
        .arg(trend::kCentreSpreadOnePoint);
}

QCustomPlot* TrendCharts::MakeChart(size_t which, const QString& title, const QString& valueAxis, bool rings)
{
    auto* p = new QCustomPlot(this);
    p->setMinimumHeight(150);
    p->plotLayout()->insertRow(0);
    p->plotLayout()->addElement(0, 0, new QCPTextElement(p, title, QFont(font().family(), 9, QFont::Bold)));
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("dd.MM.yy\nhh:mm"));
    ticker->setDateTimeSpec(Qt::UTC); // the stamps are the station's wall time, stored as UTC seconds
    p->xAxis->setTicker(ticker);
    p->yAxis->setLabel(valueAxis);
    p->setPlottingHint(QCP::phFastPolylines);
    p->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    p->axisRect()->setRangeDrag(Qt::Horizontal);
    p->axisRect()->setRangeZoom(Qt::Horizontal);
    p->legend->setVisible(false);
    ShowTimes(p, false);

    for (int c = 1; c <= kFonChannels; ++c) {
        const QColor colour = kChannelColours[static_cast<size_t>(c - 1)];
        QCPGraph* line = p->addGraph();
        line->setName(QStringLiteral("Канал %1").arg(c));
        line->setPen(QPen(colour, 1));
        // A marker at every frame: a run of one frame has no line to show.
        line->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, colour, colour, kFrameMarker));
        line->setAdaptiveSampling(true);
        line->setAntialiased(false); // a fifth of the drawing time of a dense line
        line->removeFromLegend();
        lines_[which][static_cast<size_t>(c - 1)] = line;
        if (rings) {
            QCPGraph* ring = p->addGraph();
            ring->setLineStyle(QCPGraph::lsNone);
            ring->setScatterStyle(RingStyle(colour));
            ring->removeFromLegend();
            rings_[which][static_cast<size_t>(c - 1)] = ring;
        }
    }
    return p;
}

void TrendCharts::Clear()
{
    for (size_t which = 0; which < plots_.size(); ++which) {
        for (size_t c = 0; c < kFonChannels; ++c) {
            lines_[which][c]->data()->clear();
            if (rings_[which][c])
                rings_[which][c]->data()->clear();
            pending_[which][c].clear();
            all_[which][c].clear();
            pendingFiles_[which][c].clear();
            allFiles_[which][c].clear();
        }
        ShowTimes(plots_[which], false);
        plots_[which]->replot(QCustomPlot::rpQueuedReplot);
    }
    lastFile_ = -1;
    haveKeys_ = false;
    haveValues_ = {};
}

void TrendCharts::Reserve(size_t frames, size_t files)
{
    for (auto& chart : all_)
        for (auto& line : chart)
            line.reserve(static_cast<qsizetype>(frames + files)); // a break point per file
    for (auto& chart : allFiles_)
        for (auto& line : chart)
            line.reserve(static_cast<qsizetype>(frames + files));
}

void TrendCharts::AddRows(const trend::TrendTable& t, size_t from)
{
    const std::array<const std::array<std::vector<float>, kFonChannels>*, 3> columns{&t.MeanPerPoint, &t.Centre, &t.B};
    for (size_t row = from; row < t.Size(); ++row) {
        const double key = t.Time[row];
        if (!std::isfinite(key))
            continue;
        const bool newFile = t.File[row] != lastFile_;
        lastFile_ = t.File[row];
        Widen(keys_, haveKeys_, key);
        for (size_t which = 0; which < 3; ++which) {
            for (size_t c = 0; c < kFonChannels; ++c) {
                auto& points = pending_[which][c];
                auto& files = pendingFiles_[which][c];
                if (newFile) {
                    points.append(QCPGraphData(key - kBreakBefore, std::nan("")));
                    files.append(-1);
                }
                const double v = (*columns[which])[c][row];
                points.append(QCPGraphData(key, v));
                files.append(t.File[row]);
                if (std::isfinite(v))
                    Widen(values_[which], haveValues_[which], v);
            }
        }
    }
}

void TrendCharts::Flush()
{
    for (size_t which = 0; which < plots_.size(); ++which)
        FlushChart(which);
}

void TrendCharts::FlushNext()
{
    FlushChart(next_);
    next_ = (next_ + 1) % plots_.size();
}

void TrendCharts::FlushChart(size_t which)
{
    bool added = false;
    for (size_t c = 0; c < kFonChannels; ++c) {
        auto& points = pending_[which][c];
        if (points.isEmpty())
            continue;
        QCPGraph* line = lines_[which][c];
        auto& all = all_[which][c];
        auto& allFiles = allFiles_[which][c];
        line->data()->set(QVector<QCPGraphData>(), true); // lets go of `all`
        const bool inOrder = std::is_sorted(points.begin(), points.end(), KeyLess) &&
                             (all.isEmpty() || !(points.front().key < all.back().key));
        all.append(points);
        allFiles.append(pendingFiles_[which][c]);
        // Files out of time order or overlapping (runs of two stations, or
        // files read in another order): sorted again, with breaks between files.
        if (!inOrder)
            OrderWithBreaks(all, allFiles);
        line->data()->set(all, true);
        points.clear();
        pendingFiles_[which][c].clear();
        added = true;
    }
    if (added)
        Rescale(which);
}

void TrendCharts::SetOutliers(const trend::TrendTable& t, const std::vector<trend::Outlier>& marks)
{
    std::array<std::array<QVector<QCPGraphData>, kFonChannels>, 2> rings;
    for (const trend::Outlier& m : marks) {
        const double key = t.Time[m.Row];
        if (std::isfinite(key))
            rings[static_cast<size_t>(m.What)][static_cast<size_t>(m.Channel - 1)].append(QCPGraphData(key, m.Value));
    }
    for (size_t which = 0; which < rings.size(); ++which)
        for (size_t c = 0; c < kFonChannels; ++c)
            rings_[which][c]->data()->set(rings[which][c], false);
    for (size_t which = 0; which < plots_.size(); ++which)
        Rescale(which);
}

void TrendCharts::Rescale(size_t which)
{
    if (!haveKeys_)
        return;
    // Set here for each chart, not passed on to the others: each redraws
    // when its own points come.
    rescaling_ = true;
    const double margin = std::max(60.0, 0.02 * keys_.size());
    QCustomPlot* p = plots_[which];
    ShowTimes(p, true);
    p->xAxis->setRange(keys_.lower - margin, keys_.upper + margin);
    if (haveValues_[which]) {
        const QCPRange v = values_[which];
        const double pad = std::max(0.05 * v.size(), 0.5);
        p->yAxis->setRange(v.lower - pad, v.upper + pad);
    }
    p->replot(QCustomPlot::rpQueuedReplot);
    rescaling_ = false;
}

} // namespace stability
