#pragma once
// A station's history from its trend.csv in the centre's store, for its
// page: the frames of the last day, week or month of its data (counted
// back from its newest frame) or all of them, thinned to at most
// kHistoryPoints means for the charts, with the outliers of the full span
// marked by the stability window's rule (trend/Outliers.h); and the last
// lines of its events.csv.
#include <QByteArray>
#include <string>

namespace centre {

/// Most points a chart gets; more frames are averaged in equal runs.
inline constexpr size_t kHistoryPoints = 2000;
/// Events shown on the page.
inline constexpr int kLastEvents = 20;

/// How far back the page looks.
enum class HistorySpan { Day, Week, Month, All };

/// The span named by "day", "week", "month" or "all" (a week otherwise).
HistorySpan SpanNamed(const QString& name);

/// The history as JSON: {"rows":N,"run":frames a point,"t":[...],"rate":[4][...],
/// "centre":[4][...],"b":[4][...],"live":[...],"outliers":[{"t","channel","what","value"}],
/// "events":{"header":[...],"rows":[[...]]}}. Times are the frames' wall
/// time in seconds as if UTC; "live" is the live time in percent of the
/// wall time (a point's live seconds over the seconds it lasted); NaN
/// values are null.
QByteArray StationHistoryJson(const std::string& trendCsv, const std::string& eventsCsv, HistorySpan span);

} // namespace centre
