#include "frames/StationZone.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace frames {
namespace {

constexpr const char* kZoneDir = "/usr/share/zoneinfo/";

bool IsZoneFile(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name.find("..") != std::string::npos)
        return false;
    struct stat st;
    return ::stat((kZoneDir + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

/// The local stamp read as if it were UTC, in seconds, and its ms.
int64_t WallSeconds(const FrameStamp& s)
{
    using namespace std::chrono;
    const year_month_day d{year{s.Year}, month{static_cast<unsigned>(s.Month)}, day{static_cast<unsigned>(s.Day)}};
    return sys_days{d}.time_since_epoch().count() * 86400LL + s.Hour * 3600LL + s.Min * 60LL + s.Sec;
}

/// Nanoseconds of `seconds` and `msec`; kNoTimeNs outside what int64
/// nanoseconds hold (about 1678 to 2261).
int64_t Ns(int64_t seconds, int msec)
{
    constexpr int64_t kLimit = INT64_MAX / 1000000000 - 1;
    if (seconds > kLimit || seconds < -kLimit)
        return kNoTimeNs;
    return seconds * 1000000000 + msec * 1000000LL;
}

} // namespace

std::string MachineZoneName()
{
    if (const char* tz = std::getenv("TZ"); tz && *tz)
        return tz[0] == ':' ? tz + 1 : tz;
    char buf[4096];
    const ssize_t n = ::readlink("/etc/localtime", buf, sizeof buf - 1);
    if (n > 0) {
        const std::string link(buf, static_cast<size_t>(n));
        const size_t at = link.find("zoneinfo/");
        if (at != std::string::npos)
            return link.substr(at + 9);
    }
    std::ifstream etc("/etc/timezone");
    std::string name;
    if (etc >> name && IsZoneFile(name))
        return name;
    return "UTC";
}

std::optional<StationZone> StationZone::Open(const std::string& name)
{
    const std::string zone = name.empty() ? MachineZoneName() : name;
    if (!IsZoneFile(zone))
        return std::nullopt;
    ::setenv("TZ", (":" + zone).c_str(), 1);
    ::tzset();
    return StationZone(zone);
}

int StationZone::OffsetAtSeconds(int64_t utcSeconds) const
{
    const int64_t minute = utcSeconds >= 0 ? utcSeconds / 60 : (utcSeconds - 59) / 60;
    if (minute != cachedMinute_) {
        const std::time_t t = static_cast<std::time_t>(utcSeconds);
        std::tm tm{};
        ::localtime_r(&t, &tm);
        cachedMinute_ = minute;
        cachedOffset_ = static_cast<int>(tm.tm_gmtoff);
    }
    return cachedOffset_;
}

int StationZone::OffsetAt(int64_t utcNs) const
{
    const int64_t s = utcNs >= 0 ? utcNs / 1000000000 : (utcNs - 999999999) / 1000000000;
    return OffsetAtSeconds(s);
}

int64_t StationZone::UtcNs(const FrameStamp& s) const
{
    if (!StampValid(s) || s.Year < 1 || s.Year > 9999)
        return kNoTimeNs;
    return WallUtcNs(WallSeconds(s), s.MSec);
}

int64_t StationZone::WallUtcNs(int64_t wall, int msec) const
{
    const int64_t wallMinute = wall >= 0 ? wall / 60 : (wall - 59) / 60;
    if (wallMinute == wallMinute_) // zones change their offset on whole minutes
        return Ns(wall - wallOffset_, msec);
    // The offset in force before a change near this wall time (a day is more
    // than any change moves a clock), and the one after it.
    const int before = OffsetAtSeconds(wall - 86400), after = OffsetAtSeconds(wall + 86400);
    int64_t utc = wall - before;
    if (before != after && OffsetAtSeconds(utc) != before) {
        // Not under the old offset: under the new one, or in the skipped gap
        // (then the old offset still, as the rule says).
        const int64_t later = wall - after;
        if (OffsetAtSeconds(later) == after)
            utc = later;
    }
    wallMinute_ = wallMinute;
    wallOffset_ = wall - utc;
    return Ns(utc, msec);
}

std::string StationZone::IsoText(int64_t utcNs) const
{
    if (utcNs == kNoTimeNs)
        return {};
    return IsoWithOffset(utcNs, OffsetAt(utcNs));
}

} // namespace frames
