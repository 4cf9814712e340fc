#pragma once
// The chart adapter over QCustomPlot: numbered series (line or bar) of points,
// each point with its own colour; clear a series, append a point; per axis
// minimum, maximum, automatic and logarithmic scaling and title.
//
// Points are kept in the adapter in the order added (tests read them back)
// and handed to QCustomPlot just before a replot. Every change only queues a
// replot, so appending thousands of points costs one replot per event-loop
// turn.
#include <QColor>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include <qcustomplot.h>

namespace ui {

/// One point of a series.
struct Point {
    double X;
    double Y;
    QColor Color;
};

enum class SeriesKind { Line, Bar };

class TChart;

/// A numbered series of a chart.
class Series {
public:
    SeriesKind Kind() const { return kind_; }
    QColor Color() const { return color_; }
    /// The series' name as a legend shows it ("Канал 1"); empty when it has none.
    QString Name() const { return name_; }
    /// Colour of later points added without their own.
    void SetColor(const QColor& c);
    /// Width of a bar series' bars, as a share of the distance between two
    /// neighbouring x values (0.8 unless set).
    void SetBarWidth(double share);
    const std::vector<Point>& Points() const { return points_; }
    int Count() const { return static_cast<int>(points_.size()); }
    void Clear();
    /// Appends (x, y) in the series' colour, or in `color`.
    void AddXY(double x, double y);
    void AddXY(double x, double y, const QColor& color);
    /// Appends many points in the series' colour.
    void AddMany(const std::vector<double>& xs, const std::vector<double>& ys);

private:
    friend class TChart;
    Series(TChart* owner, SeriesKind kind, QColor color, QString name)
        : owner_(owner), kind_(kind), color_(color), name_(std::move(name))
    {
    }
    void Changed();

    TChart* owner_;
    SeriesKind kind_;
    QColor color_;
    QString name_;
    std::vector<Point> points_;
    bool dirty_ = true;
    QCPGraph* graph_ = nullptr;         // line series
    std::vector<QCPBars*> bars_;        // bar series: one per colour
    double barWidth_ = 0.8;
};

/// One axis of a chart.
class Axis {
public:
    void SetMinimum(double v);
    void SetMaximum(double v);
    void SetMinMax(double lo, double hi);
    /// Both ends scale automatically with the data.
    void SetAutomatic(bool on);
    void SetAutomaticMaximum(bool on);
    void SetLogarithmic(bool on);
    void SetTitle(const QString& t);
    /// Room above the data when the maximum is automatic, as a share of the
    /// axis span (of its decades on a logarithmic axis): the highest bar or
    /// point is drawn whole, below the frame. 0 by default.
    void SetHeadroom(double share);

    double Minimum() const { return min_; }
    double Maximum() const { return max_; }
    bool AutomaticMinimum() const { return autoMin_; }
    bool AutomaticMaximum() const { return autoMax_; }
    bool Automatic() const { return autoMin_ && autoMax_; }
    bool Logarithmic() const { return log_; }
    QString Title() const;

private:
    friend class TChart;
    Axis(TChart* owner, QCPAxis* axis) : owner_(owner), axis_(axis) {}
    TChart* owner_;
    QCPAxis* axis_;
    double min_ = 0, max_ = 100;
    double headroom_ = 0;
    bool autoMin_ = false, autoMax_ = false, log_ = false;
};

/// A chart widget holding numbered series.
class TChart : public QCustomPlot {
    Q_OBJECT
public:
    explicit TChart(QWidget* parent = nullptr);
    ~TChart() override;

    /// Adds a series named `name` (its legend text, also the name its
    /// points carry in the CSV save); returns its number.
    int AddSeries(SeriesKind kind, const QColor& color, const QString& name = QString());
    Series& SeriesAt(int index) { return *series_.at(static_cast<size_t>(index)); }
    int SeriesCount() const { return static_cast<int>(series_.size()); }

    Axis& LeftAxis() { return *left_; }
    Axis& BottomAxis() { return *bottom_; }
    Axis& RightAxis() { return *right_; }

    void SetTitle(const QString& title);
    QString Title() const;

    /// The name the saves of the context menu offer (without extension):
    /// the windows set it to the file and record on show. Clearing any
    /// series forgets it, so a chart redrawn by something else falls back
    /// to its title (or its object name).
    void SetExportName(const QString& name);
    QString ExportName() const;

    /// Queues one replot for the next event-loop turn.
    void ScheduleReplot();
    /// Hands the points to the plot and applies automatic scaling now.
    void Sync();

private:
    void SyncSeries(Series& s);
    void ApplyScaling();

    std::vector<std::unique_ptr<Series>> series_;
    std::unique_ptr<Axis> left_, bottom_, right_;
    QCPTextElement* title_ = nullptr;
    QString exportName_;
    bool queued_ = false;
};

} // namespace ui
