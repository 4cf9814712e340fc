#pragma once
// A whole data record on the wire (topic vfon/v1/ID/record): the record's
// bytes exactly as the station's file holds them, deflated when that makes
// them smaller, with the file's name, the record's index and what the
// centre needs to read its times as the station does (the station's UTC
// offset at the record's stamp) and its points (whether it is the last
// whole record of its file). One binary payload, little-endian:
//
//   0  "VFR1"
//   4  flags: 1 deflated, 2 the last whole record of its file
//   5  length of the file name (1..100)
//   6  two bytes 0
//   8  record index, int64, from 0
//  16  the station's UTC offset in seconds, int32
//  20  the record's size as on disk, uint32
//  24  the file name, then the record's bytes (deflated or as they are)
//
// Decoding checks all of it: a payload that fails is refused with a reason
// in Russian, from a small fixed set.
#include <QByteArray>
#include <cstdint>
#include <string>
#include <string_view>

#include "datafiles/RadKadr.h"

namespace protocol {

/// Topic of station `id`'s whole records.
std::string RecordTopic(const std::string& id);

/// Bytes before the file name.
inline constexpr size_t kRecordHeaderSize = 24;
/// The longest file name a record names.
inline constexpr size_t kMaxRecordName = 100;
/// The largest record payload taken: the header, the longest name and the
/// largest record kept as it is (a deflated one is always smaller).
inline constexpr size_t kMaxRecordPayload = kRecordHeaderSize + kMaxRecordName + sizeof(TRadKadr);
/// UTC offsets of the world's zones lie within this many seconds.
inline constexpr int32_t kMaxUtcOffsetS = 18 * 3600;

/// One whole record and what is said of it.
struct WholeRecord {
    std::string File;          ///< the data file's name, as the station makes it
    int64_t Record = 0;        ///< from 0
    bool LastRecord = false;   ///< the last whole record of its file when sent
    int32_t UtcOffsetS = 0;    ///< the station's UTC offset at the record's stamp
    std::string Bytes;         ///< the record as on disk
};

/// The payload of record `record` of `file`; `bytes` are the record as on
/// disk, deflated (libdeflate) when that makes them smaller.
QByteArray RecordPayload(const std::string& file, int64_t record, bool lastRecord, int32_t utcOffsetS,
                         std::string_view bytes);

/// Reads `payload` into `out`. Empty when it is a record as a station sends
/// it, else why not: a payload longer than kMaxRecordPayload or shorter
/// than its header, flags or name lengths out of place, a name that is no
/// data file name, an index below 0, an offset beyond any zone's, a size
/// that is not the record size of the file's kind, bytes that do not
/// inflate to exactly that size.
std::string DecodeRecordPayload(const QByteArray& payload, WholeRecord& out);

/// The UTC offset in seconds of this machine's clock at the local time
/// given (0 when it is no time).
int32_t LocalUtcOffset(int y, int mo, int d, int h, int mi, int s, int ms);

} // namespace protocol
