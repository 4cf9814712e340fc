#pragma once
// The payloads a station publishes, as JSON text: its status, one message
// per written frame record and one per radio event. The frame numbers are
// those of the trend export (frames/FrameNumbers.h), so the centre's store
// matches `vfon-export --trend` line for line.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace protocol {

/// Topics of station `id`.
std::string StatusTopic(const std::string& id);
std::string FrameTopic(const std::string& id);
std::string EventTopic(const std::string& id);

/// What a status message tells.
struct StatusFigures {
    std::string Station;
    int64_t TimeNs = 0;          ///< when, ns since the epoch (UTC)
    std::string State;           ///< running, idle, halted
    std::string Message;         ///< why halted
    std::string FonFile, RadFile; ///< names in the data folder
    int64_t Points = 0;
    int32_t Frames = 0, Events = 0;
    std::array<double, 2> LiveTime{}; ///< percent of wall time
    double CyclesPerS = 0;
    std::array<double, 4> PulsesPerS{};
    int64_t DiskFreeBytes = -1;  ///< -1: unknown
    bool ClockSynced = false;
};

QByteArray StatusJson(const StatusFigures& f);
/// The last will: {"station": ID, "state": "offline"}.
QByteArray WillJson(const std::string& station);
/// Frame record `record` (from 0) of `file`; `lastRecord`: it is the last
/// whole record of its file.
QByteArray FrameJson(const std::string& station, const std::string& file, int64_t record, const TFonKadr& k,
                     bool lastRecord);
/// Event record `record` (from 0) of `file`.
QByteArray EventJson(const std::string& station, const std::string& file, int64_t record, const TRadKadr& e);
/// The same two messages with the record's stamps read at the UTC offset
/// `utcOffsetS` instead of this machine's zone: the centre makes them from
/// a whole record, with the offset the station sent beside it.
QByteArray FrameJsonAt(const std::string& station, const std::string& file, int64_t record, const TFonKadr& k,
                       bool lastRecord, int32_t utcOffsetS);
QByteArray EventJsonAt(const std::string& station, const std::string& file, int64_t record, const TRadKadr& e,
                       int32_t utcOffsetS);

/// ISO 8601 UTC text with milliseconds and "Z" of `ns` since the epoch.
QString UtcText(int64_t ns);
/// The station's wall time of a record as ns since the epoch (UTC); 0 for
/// a stamp that is no date.
int64_t WallToUtcNs(int y, int mo, int d, int h, int mi, int s, int ms);

} // namespace protocol
