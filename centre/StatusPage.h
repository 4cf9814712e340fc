#pragma once
// The centre's page of all stations: a summary line (online, no data,
// halted, offline, with problems), the stations with problems first, every
// column sortable by a click on its head, a station without fresh data
// greyed with the age of its figures, times as 24-hour Russian. It reads
// /stations.json every few seconds; nothing comes from outside the centre.
#include <QByteArray>

namespace centre {

/// The page (HTML with its script and style inline).
QByteArray StatusPageHtml();

} // namespace centre
