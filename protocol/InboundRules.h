#pragma once
// The values a station can send, field by field: counts not below 0,
// numbers finite and inside what the detector, the record layout or the
// clock can give, times in the forms the station writes them, file names
// as the station makes them, frame and event numbers inside their 16-bit
// counters. A message with a field outside its rule is refused with a
// reason that names the field (never the value, so the reasons stay a small
// fixed set that can be counted).
#include <QJsonObject>
#include <string>

namespace protocol {

/// The largest status taken (a real one is well under 1 KB).
inline constexpr size_t kMaxStatusPayload = 8 * 1024;

/// Empty when every field of the status `o` keeps its rule, else why not.
std::string CheckStatusFields(const QJsonObject& o);
/// The same for a frame message.
std::string CheckFrameFields(const QJsonObject& o);
/// The same for an event message.
std::string CheckEventFields(const QJsonObject& o);

/// True for a data file name as stations make them: a letter or digit
/// first, then up to 99 of A-Z a-z 0-9 _ - . ending in `ext`, never "..".
bool ValidFileName(const std::string& name, const char* ext);

/// True for "YYYY-MM-DDThh:mm:ss.mmmZ" (UTC, as the station sends
/// `time_utc`, `start_utc`) with the fields inside a calendar's ranges.
bool ValidUtcTime(const QString& text);
/// True for "YYYY-MM-DDThh:mm:ss.mmm+hh:mm" (`start_local`).
bool ValidLocalTime(const QString& text);
/// True for the record's own start stamp as the station writes it
/// (`start`): six dash/colon-separated numbers and milliseconds, each a
/// 16-bit field that may be out of range in a damaged record, but digits only.
bool ValidRecordStamp(const QString& text);

} // namespace protocol
