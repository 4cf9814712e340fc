#pragma once
// What the centre receives, decoded and checked at the door: each message
// becomes a typed status, frame or event, or a refusal with its reason.
// Nothing the centre stores or shows comes from a message that failed: a
// payload over 64 KB (a status over 8 KB, a whole record beyond its
// kind's size), one that is not the JSON object
// its topic asks for, a field outside its rule (InboundRules.h),
// a station ID outside A-Z a-z 0-9 _ - (so no '/', "..", NUL or non-ASCII
// reaches a path), a file name that is not a plain data file name.
#include <QByteArray>
#include <QJsonObject>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "protocol/InboundRules.h"

namespace protocol {

/// The largest payload taken.
inline constexpr size_t kMaxPayload = 64 * 1024;

/// The topic the centre subscribes to: every station's every message.
std::string AllStationsTopic();

/// A station's status, or its goodbye (the will).
struct StatusMessage {
    std::string Station;
    std::string State;     ///< running, idle, halted, offline
    int64_t TimeNs = 0;    ///< when the station made it (its clock); 0: not given
    QJsonObject Fields;    ///< the whole message, for the page
    bool Offline() const { return State == "offline"; }
};

/// One frame record's numbers.
struct FrameMessage {
    std::string Station, File;
    int64_t Record = 0;    ///< from 0
    int64_t Points = 0;
    /// The start as the centre's trend row shows it: with the station's UTC
    /// offset, or as the record holds it from stations that send no offset.
    std::string Start;
    int64_t StartNs = 0;   ///< 0: no time
    double LiveS = 0;      ///< live seconds of the points
    std::array<double, kFonChannels> MeanPerPoint{}, MeanPerS{}, B{}; ///< NaN where none
    std::array<std::optional<int32_t>, kFonChannels> Centre;
};

/// One radio event's numbers.
struct EventMessage {
    std::string Station, File;
    int64_t Record = 0;    ///< from 0
    int64_t EventNo = 0;
    std::string TimeUtc;   ///< empty: no time
    int64_t TimeNs = 0;
    std::array<int64_t, kRadChannels> Gains{}, Peak{};
};

/// A whole record as the station's file holds it (RecordMessage.h), with
/// the numbers of its rows, made from its bytes by the code that makes the
/// frame and event messages and checked by the same rules.
struct RecordMessage {
    std::string Station, File;
    int64_t Record = 0;                               ///< from 0
    std::string Bytes;                                ///< the record as on disk
    std::variant<FrameMessage, EventMessage> Numbers; ///< a .fon record's or a .Rad record's
};

/// A message that is not taken, and why (in Russian, for the log and the
/// page). `Station` is empty when no station can be named for it.
struct Refusal {
    std::string Station;
    std::string Reason;
};

using Inbound = std::variant<StatusMessage, FrameMessage, EventMessage, RecordMessage, Refusal>;

/// Decodes and checks the message `payload` that came on `topic`.
Inbound Decode(const std::string& topic, const QByteArray& payload);

} // namespace protocol
