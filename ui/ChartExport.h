#pragma once
// Saving a chart: its context menu "Сохранить как PNG…", "Сохранить как
// PDF…" and "Сохранить данные CSV…", each through a file dialog that offers
// the chart's export name, and the file writers behind them.
#include <QString>
#include <cstdint>
#include <string>

namespace ui {

class TChart;

/// Gives `c` the right-click menu of the three saves.
void InstallExportMenu(TChart* c);

/// The chart as a PNG image of its size on screen. False on failure.
bool SavePngFile(TChart& c, const QString& path);
/// The chart as a one-page PDF of its size on screen. False on failure.
bool SavePdfFile(TChart& c, const QString& path);
/// The points of every series as CSV ("series,x,y", UTF-8): a series by its
/// legend name, or by its number from 0 when it has none; numbers with '.'
/// whatever the locale. Written whole or not at all.
bool SaveCsvFile(const TChart& c, const QString& path);

/// The export name of a record on show: the data file's name and the
/// record's number as the operator sees it (from 1), "6_12_23_5.fon_3".
QString RecordExportName(const std::string& fileName, int32_t recordFromZero);

} // namespace ui
