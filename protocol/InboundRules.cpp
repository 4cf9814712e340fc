#include "protocol/InboundRules.h"

#include <QJsonArray>
#include <QJsonValue>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace protocol {
namespace {

/// What a field holds.
enum class Kind {
    Integer,    ///< a whole number in [Lo, Hi]
    Number,     ///< a finite number in [Lo, Hi]
    Flag,       ///< true or false
    Text,       ///< a string of at most Hi characters, no control characters but \n and \t
    UtcTime,    ///< ValidUtcTime
    LocalTime,  ///< ValidLocalTime
    RecordStamp,///< ValidRecordStamp
    FonName,    ///< a .fon file name
    RadName,    ///< a .Rad file name
    FonNameOrNone, ///< a .fon file name or "" (no run yet)
    RadNameOrNone,
};

struct FieldRule {
    const char* Name;
    Kind What;
    double Lo = 0, Hi = 0;
    int Count = 0;         ///< 0: one value, else an array of exactly this many
    bool Nullable = false; ///< null allowed (for an array: per entry)
    bool Required = false;
};

// Bounds that the system fixes.
constexpr double kInt16Lo = -32768, kInt16Hi = 32767;
constexpr double kInt32Hi = 2147483647.0;
/// A whole int64 that a double can tell apart from overflow.
constexpr double kInt64Bound = 9.2e18;
/// Records in a file: a file of this system stays far below 2^31 of them.
constexpr double kMaxRecord = kInt32Hi;
/// Live time in percent; 1 % over for the jitter between the two clocks that measure it.
constexpr double kMaxLiveTime = 101;
/// No detector channel counts more than this many pulses a second.
constexpr double kMaxRate = 1e12;
/// Slope of the integral spectrum's log-log fit: far beyond any two-bin fit of int16 counts.
constexpr double kMaxSlope = 1e4;

bool Whole(double d) { return std::isfinite(d) && std::floor(d) == d; }

bool Printable(const QString& s, double maxLength)
{
    if (s.size() > maxLength)
        return false;
    for (QChar c : s)
        if (c.unicode() < 0x20 ? (c != '\n' && c != '\t') : c.unicode() == 0x7f)
            return false;
    return true;
}

bool OneValueKeeps(const FieldRule& r, const QJsonValue& v)
{
    if (v.isNull())
        return r.Nullable;
    switch (r.What) {
    case Kind::Integer:
        return v.isDouble() && Whole(v.toDouble()) && v.toDouble() >= r.Lo && v.toDouble() <= r.Hi;
    case Kind::Number:
        return v.isDouble() && std::isfinite(v.toDouble()) && v.toDouble() >= r.Lo && v.toDouble() <= r.Hi;
    case Kind::Flag:
        return v.isBool();
    case Kind::Text:
        return v.isString() && Printable(v.toString(), r.Hi);
    case Kind::UtcTime:
        return v.isString() && ValidUtcTime(v.toString());
    case Kind::LocalTime:
        return v.isString() && ValidLocalTime(v.toString());
    case Kind::RecordStamp:
        return v.isString() && ValidRecordStamp(v.toString());
    case Kind::FonName:
    case Kind::FonNameOrNone:
        return v.isString() && ((r.What == Kind::FonNameOrNone && v.toString().isEmpty()) ||
                                ValidFileName(v.toString().toStdString(), ".fon"));
    case Kind::RadName:
    case Kind::RadNameOrNone:
        return v.isString() && ((r.What == Kind::RadNameOrNone && v.toString().isEmpty()) ||
                                ValidFileName(v.toString().toStdString(), ".Rad"));
    }
    return false;
}

bool Keeps(const FieldRule& r, const QJsonValue& v)
{
    if (v.isUndefined())
        return !r.Required;
    if (r.Count == 0)
        return OneValueKeeps(r, v);
    if (!v.isArray() || v.toArray().size() != r.Count)
        return false;
    for (const QJsonValue& e : v.toArray())
        if (!OneValueKeeps(r, e))
            return false;
    return true;
}

std::string Check(const QJsonObject& o, std::initializer_list<FieldRule> rules)
{
    for (const FieldRule& r : rules)
        if (!Keeps(r, o.value(QLatin1String(r.Name))))
            return std::string("недопустимое поле «") + r.Name + "»";
    return {};
}

/// Digits of `s` from `at`, exactly `n` of them, as a number; -1 when not.
int DigitsAt(const QString& s, qsizetype at, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const QChar c = s[at + i];
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

/// "YYYY-MM-DDThh:mm:ss.mmm" at the start of `s` with its fields in range.
bool CalendarTime(const QString& s)
{
    if (s.size() < 23)
        return false;
    for (const auto& [at, sep] : {std::pair{4, '-'}, {7, '-'}, {10, 'T'}, {13, ':'}, {16, ':'}, {19, '.'}})
        if (s[at] != QLatin1Char(sep))
            return false;
    const int y = DigitsAt(s, 0, 4), mo = DigitsAt(s, 5, 2), d = DigitsAt(s, 8, 2), h = DigitsAt(s, 11, 2),
              mi = DigitsAt(s, 14, 2), sec = DigitsAt(s, 17, 2), ms = DigitsAt(s, 20, 3);
    return y >= 0 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h <= 23 && mi >= 0 && mi <= 59 &&
           sec >= 0 && sec <= 60 && ms >= 0;
}

} // namespace

bool ValidFileName(const std::string& name, const char* ext)
{
    const std::string e = ext;
    if (name.size() <= e.size() || name.size() > 100 || name.compare(name.size() - e.size(), e.size(), e) != 0)
        return false;
    if (name.find("..") != std::string::npos)
        return false;
    const auto alnum = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); };
    if (!alnum(name[0]))
        return false;
    for (char c : name)
        if (!alnum(c) && c != '_' && c != '-' && c != '.')
            return false;
    return true;
}

bool ValidUtcTime(const QString& text) { return text.size() == 24 && CalendarTime(text) && text[23] == 'Z'; }

bool ValidLocalTime(const QString& text)
{
    if (text.size() != 29 || !CalendarTime(text) || (text[23] != '+' && text[23] != '-') || text[26] != ':')
        return false;
    const int h = DigitsAt(text, 24, 2), m = DigitsAt(text, 27, 2);
    return h >= 0 && h <= 18 && m >= 0 && m <= 59;
}

bool ValidRecordStamp(const QString& text)
{
    // %04d-%02d-%02dT%02d:%02d:%02d.%03d of seven int16 fields.
    static const char kSeparators[] = "--T::.";
    qsizetype at = 0;
    for (int field = 0; field < 7; ++field) {
        if (field > 0) {
            if (at >= text.size() || text[at] != QLatin1Char(kSeparators[field - 1]))
                return false;
            ++at;
        }
        if (at < text.size() && text[at] == '-')
            ++at;
        const qsizetype digits = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - digits < 6)
            ++at;
        if (at == digits || at - digits > 5)
            return false;
    }
    return at == text.size();
}

std::string CheckStatusFields(const QJsonObject& o)
{
    // Only "state" is in every status (the will has nothing else); a field
    // that is there keeps its rule.
    return Check(o, {{"time_utc", Kind::UtcTime},
                     {"time_ns", Kind::Integer, 0, kInt64Bound},
                     {"version", Kind::Text, 0, 64},
                     {"message", Kind::Text, 0, 2000},
                     {"fon_file", Kind::FonNameOrNone},
                     {"rad_file", Kind::RadNameOrNone},
                     {"points", Kind::Integer, 0, kInt64Bound},
                     {"frames", Kind::Integer, 0, kInt32Hi},
                     {"events", Kind::Integer, 0, kInt32Hi},
                     {"live_time", Kind::Number, 0, kMaxLiveTime, 2},
                     {"cycles_per_s", Kind::Number, 0, kMaxRate},
                     {"pulses_per_s", Kind::Number, 0, kMaxRate, 4},
                     {"disk_free_bytes", Kind::Integer, 0, kInt64Bound, 0, true},
                     {"clock_synced", Kind::Flag}});
}

std::string CheckFrameFields(const QJsonObject& o)
{
    // start_local, start_utc, start_ns, mean_per_s and kadr_no are absent
    // from stations of earlier versions.
    return Check(o, {{"file", Kind::FonName, 0, 0, 0, false, true},
                     {"record", Kind::Integer, 0, kMaxRecord, 0, false, true},
                     {"kadr_no", Kind::Integer, kInt16Lo, kInt16Hi},
                     {"start", Kind::RecordStamp, 0, 0, 0, false, true},
                     {"start_utc", Kind::UtcTime, 0, 0, 0, true},
                     {"start_ns", Kind::Integer, -kInt64Bound, kInt64Bound},
                     {"start_local", Kind::LocalTime, 0, 0, 0, true},
                     {"points", Kind::Integer, 0, kFonPoints, 0, false, true},
                     {"mean_rate", Kind::Number, 0, kInt32Hi, kFonChannels, true, true},
                     {"mean_per_s", Kind::Number, 0, kMaxRate, kFonChannels, true},
                     {"centre", Kind::Integer, 0, kFonBins, kFonChannels, true, true},
                     {"b", Kind::Number, -kMaxSlope, kMaxSlope, kFonChannels, true, true}});
}

std::string CheckEventFields(const QJsonObject& o)
{
    return Check(o, {{"file", Kind::RadName, 0, 0, 0, false, true},
                     {"record", Kind::Integer, 0, kMaxRecord, 0, false, true},
                     {"event_no", Kind::Integer, kInt16Lo, kInt16Hi, 0, false, true},
                     {"time_utc", Kind::UtcTime, 0, 0, 0, true, true},
                     {"time_ns", Kind::Integer, -kInt64Bound, kInt64Bound, 0, false, true},
                     {"gains", Kind::Integer, kInt16Lo, kInt16Hi, kRadChannels, false, true},
                     {"peak", Kind::Integer, 0, 32768, kRadChannels, false, true}});
}

} // namespace protocol
