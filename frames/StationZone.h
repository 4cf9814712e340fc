#pragma once
// The station's time zone: turns the local date and time the records keep
// into UTC instants. Zones are those of the system's time zone database
// (IANA names such as "Europe/Moscow"); the machine's own zone by default.
//
// A local time that a daylight-saving change skips (spring forward) or
// repeats (fall back) is read with the UTC offset in force just before the
// change: a skipped 02:30 becomes the instant an hour after 01:30, and a
// repeated 02:30 the first of its two instants.
#include <cstdint>
#include <optional>
#include <string>

#include "frames/FrameStamp.h"

namespace frames {

/// Nanoseconds since 1970-01-01 00:00 UTC of a stamp that is no time.
inline constexpr int64_t kNoTimeNs = kNoStampNs;

/// A time zone of the system's database. Process-wide: it sets TZ.
class StationZone : public StampZone {
public:
    /// The zone `name`, or the machine's zone for an empty name; nullopt when
    /// no zone of that name is in the database.
    static std::optional<StationZone> Open(const std::string& name);

    /// The zone's name ("Europe/Moscow"; "UTC" style names as given).
    const std::string& Name() const { return name_; }
    /// The instant of local stamp `s` in ns since the epoch (UTC), by the rule
    /// above; kNoTimeNs when the stamp is not a valid date and time, or its
    /// instant is out of the range of int64 nanoseconds (years 1678–2261).
    int64_t UtcNs(const FrameStamp& s) const override;
    /// The same for a valid stamp given as its wall seconds (the local date
    /// and time read as if it were UTC) and its ms.
    int64_t WallUtcNs(int64_t wall, int msec) const;
    /// The UTC offset in seconds in force at `utcNs`.
    int OffsetAt(int64_t utcNs) const;
    /// "2026-12-08T07:14:53.039+03:00" of the instant, in this zone; empty
    /// for kNoTimeNs.
    std::string IsoText(int64_t utcNs) const override;

private:
    explicit StationZone(std::string name) : name_(std::move(name)) {}
    /// Offset in seconds at `utcSeconds`, one-minute cache.
    int OffsetAtSeconds(int64_t utcSeconds) const;

    std::string name_;
    mutable int64_t cachedMinute_ = INT64_MIN;
    mutable int cachedOffset_ = 0;
    mutable int64_t wallMinute_ = INT64_MIN; ///< local minute of the last UtcNs
    mutable int64_t wallOffset_ = 0;         ///< the offset UtcNs chose for it
};

/// The name of the machine's time zone (TZ, else /etc/localtime's link into
/// the database, else /etc/timezone), "UTC" when none is set.
std::string MachineZoneName();

} // namespace frames
