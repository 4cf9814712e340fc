#pragma once
// The page of one station, /station/ID: its mean rate, peak centre and
// slope b per channel and its live time against time over the last day, week or month of its
// data or all of it (charts by Chart.js, served by the centre itself), the
// outliers marked, its last events, and links to its trend.csv and
// events.csv. The numbers come from /station/ID/history.json.
#include <QByteArray>
#include <string>

namespace centre {

/// Where the centre takes Chart.js from (Debian's libjs-chart.js).
inline constexpr const char* kChartJsPath = "/usr/share/javascript/chart.js/chart.min.js";

/// The page of station `id` (HTML, its script and style inline).
QByteArray StationPageHtml(const std::string& id);

} // namespace centre
