#pragma once
// The page of one coincidence, /coincidence/N: its members (station, file,
// record, time after the first member) and the six antennas of every member
// station, one chart per antenna one above another, each station's trace
// placed at its time after the first member so the traces stand as the
// showers' fronts reached the stations. The traces are read from the
// members' .Rad records in STORE/ID/<file> (the stations' records copied to
// the centre); a member whose file or record is not there is said so.
#include <QByteArray>
#include <cstdint>
#include <string>

namespace centre {

/// The page of coincidence `id` of the store in `storeDir`; empty when
/// coincidences.csv holds no such coincidence.
QByteArray CoincidencePageHtml(const std::string& storeDir, int64_t id);

} // namespace centre
