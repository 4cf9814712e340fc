#include "ui/Chart.h"

#include "ui/ChartExport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ui {

// ---- Series ---------------------------------------------------------------

void Series::Changed()
{
    dirty_ = true;
    owner_->ScheduleReplot();
}

void Series::SetColor(const QColor& c) { color_ = c; }

void Series::SetBarWidth(double share)
{
    barWidth_ = share;
    Changed();
}

void Series::Clear()
{
    owner_->SetExportName(QString());
    if (points_.empty() && !dirty_)
        return;
    points_.clear();
    Changed();
}

void Series::AddXY(double x, double y) { AddXY(x, y, color_); }

void Series::AddXY(double x, double y, const QColor& color)
{
    points_.push_back({x, y, color});
    Changed();
}

void Series::AddMany(const std::vector<double>& xs, const std::vector<double>& ys)
{
    const size_t n = std::min(xs.size(), ys.size());
    points_.reserve(points_.size() + n);
    for (size_t i = 0; i < n; ++i)
        points_.push_back({xs[i], ys[i], color_});
    Changed();
}

// ---- Axis -----------------------------------------------------------------

void Axis::SetMinimum(double v)
{
    min_ = v;
    autoMin_ = false;
    owner_->ScheduleReplot();
}

void Axis::SetMaximum(double v)
{
    max_ = v;
    autoMax_ = false;
    owner_->ScheduleReplot();
}

void Axis::SetMinMax(double lo, double hi)
{
    min_ = lo;
    max_ = hi;
    autoMin_ = autoMax_ = false;
    owner_->ScheduleReplot();
}

void Axis::SetHeadroom(double share)
{
    headroom_ = std::max(0.0, share);
    owner_->ScheduleReplot();
}

void Axis::SetAutomatic(bool on)
{
    autoMin_ = autoMax_ = on;
    owner_->ScheduleReplot();
}

void Axis::SetAutomaticMaximum(bool on)
{
    autoMax_ = on;
    owner_->ScheduleReplot();
}

void Axis::SetLogarithmic(bool on)
{
    if (log_ == on)
        return;
    log_ = on;
    axis_->setScaleType(on ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
    if (on)
        axis_->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
    else
        axis_->setTicker(QSharedPointer<QCPAxisTicker>::create());
    owner_->ScheduleReplot();
}

void Axis::SetTitle(const QString& t)
{
    axis_->setLabel(t);
    owner_->ScheduleReplot();
}

QString Axis::Title() const { return axis_->label(); }

// ---- TChart ---------------------------------------------------------------

TChart::TChart(QWidget* parent) : QCustomPlot(parent)
{
    left_.reset(new Axis(this, yAxis));
    bottom_.reset(new Axis(this, xAxis));
    right_.reset(new Axis(this, yAxis2));
    plotLayout()->insertRow(0);
    title_ = new QCPTextElement(this, QString(), QFont(font().family(), 10, QFont::Bold));
    plotLayout()->addElement(0, 0, title_);
    legend->setVisible(false);
    setInteractions(QCP::Interactions());
    setNoAntialiasingOnDrag(true);
    setNotAntialiasedElements(QCP::aeAll);
    // Bars lie under the lines, whichever series was made first.
    addLayer("bars", layer("main"), QCustomPlot::limBelow);
    connect(this, &QCustomPlot::beforeReplot, this, [this] { Sync(); });
    InstallExportMenu(this);
}

TChart::~TChart() = default;

int TChart::AddSeries(SeriesKind kind, const QColor& color, const QString& name)
{
    series_.emplace_back(new Series(this, kind, color, name));
    Series& s = *series_.back();
    if (kind == SeriesKind::Line) {
        s.graph_ = addGraph(xAxis, yAxis);
        s.graph_->setAdaptiveSampling(true);
        s.graph_->setName(name);
    }
    return SeriesCount() - 1;
}

void TChart::SetTitle(const QString& title)
{
    title_->setText(title);
    ScheduleReplot();
}

QString TChart::Title() const { return title_->text(); }

void TChart::SetExportName(const QString& name) { exportName_ = name; }

QString TChart::ExportName() const
{
    QString name = !exportName_.isEmpty() ? exportName_ : !Title().isEmpty() ? Title() : objectName();
    name.replace('/', '_');
    return name.isEmpty() ? QString("chart") : name;
}

void TChart::ScheduleReplot()
{
    if (queued_)
        return;
    queued_ = true;
    replot(QCustomPlot::rpQueuedReplot);
}

void TChart::SyncSeries(Series& s)
{
    if (!s.dirty_)
        return;
    s.dirty_ = false;
    if (s.kind_ == SeriesKind::Line) {
        QVector<QCPGraphData> data;
        data.reserve(static_cast<int>(s.points_.size()));
        for (const Point& p : s.points_)
            data.push_back(QCPGraphData(p.X, p.Y));
        s.graph_->data()->set(data, false);
        s.graph_->setPen(QPen(s.color_));
        return;
    }
    // Bars of one plottable share one brush, so each colour gets its own.
    std::vector<QColor> colors;
    std::vector<QVector<QCPBarsData>> groups;
    for (const Point& p : s.points_) {
        auto it = std::find(colors.begin(), colors.end(), p.Color);
        size_t k = static_cast<size_t>(it - colors.begin());
        if (it == colors.end()) {
            colors.push_back(p.Color);
            groups.emplace_back();
        }
        groups[k].push_back(QCPBarsData(p.X, p.Y));
    }
    while (s.bars_.size() < colors.size()) {
        auto* bars = new QCPBars(xAxis, yAxis);
        bars->setLayer("bars");
        bars->setWidthType(QCPBars::wtPlotCoords);
        bars->setName(s.name_);
        s.bars_.push_back(bars);
    }
    const bool logValues = yAxis->scaleType() == QCPAxis::stLogarithmic;
    for (size_t k = 0; k < s.bars_.size(); ++k) {
        QCPBars* bars = s.bars_[k];
        bars->setBaseValue(logValues ? 0.5 : 0.0);
        bars->setWidth(s.barWidth_);
        if (k < colors.size()) {
            bars->data()->set(groups[k], false);
            bars->setPen(QPen(colors[k]));
            bars->setBrush(QBrush(colors[k]));
            bars->setVisible(true);
        } else {
            bars->data()->clear();
            bars->setVisible(false);
        }
    }
}

void TChart::ApplyScaling()
{
    auto apply = [this](Axis& axis, bool isKey) {
        if (axis.autoMin_ || axis.autoMax_) {
            double lo = std::numeric_limits<double>::max(), hi = std::numeric_limits<double>::lowest();
            for (const auto& s : series_)
                for (const Point& p : s->points_) {
                    const double v = isKey ? p.X : p.Y;
                    if (axis.log_ && v <= 0)
                        continue;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
            if (lo <= hi) {
                if (lo == hi) {
                    lo = axis.log_ ? lo / 2 : lo - 1;
                    hi = axis.log_ ? hi * 2 : hi + 1;
                }
                if (axis.autoMin_)
                    axis.min_ = lo;
                if (axis.autoMax_)
                    axis.max_ = hi;
            }
        }
        double lo = axis.min_, hi = axis.max_;
        if (axis.log_) {
            if (lo <= 0)
                lo = 0.5;
            if (hi <= lo)
                hi = lo * 10;
        }
        if (axis.autoMax_ && hi > lo)
            hi = axis.log_ ? hi * std::pow(hi / lo, axis.headroom_) : hi + (hi - lo) * axis.headroom_;
        axis.axis_->setRange(lo, hi);
    };
    apply(*bottom_, true);
    apply(*left_, false);
    apply(*right_, false);
}

void TChart::Sync()
{
    queued_ = false;
    for (auto& s : series_)
        SyncSeries(*s);
    ApplyScaling();
}

} // namespace ui
