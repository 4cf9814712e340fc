#pragma once
// The centre's store: what the stations publish, checked and kept per
// station in DIR/ID/: trend.csv (the columns of `vfon-export --trend`, one
// line per frame and channel) and events.csv, each (file, record) once
// however often it arrives, and the last status in memory. Bad input is
// refused and counted, never kept and never a reason to stop: a payload
// over 64 KB, one that is not the JSON object its topic asks for, a station
// ID outside A-Z a-z 0-9 _ - (so no '/', "..", NUL or non-ASCII reaches a
// path), a file name that is not a plain data file name.
#include <QByteArray>
#include <QJsonObject>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace centre {

/// The largest payload taken.
inline constexpr size_t kMaxPayload = 64 * 1024;

/// What became of one message.
enum class Ingest { Status, Frame, Event, Duplicate, Refused };

/// What the centre knows of one station.
struct StationInfo {
    std::string Id;
    QJsonObject Status;      ///< the last status as received
    bool Offline = false;    ///< the will (or a goodbye) came after it
    int64_t StatusNs = 0;    ///< when it was made (station's time_ns, at most the time received), 0: never
    int64_t Frames = 0;      ///< frame records stored
    int64_t Events = 0;      ///< event records stored
    std::array<double, 4> Centres{}; ///< the last frame's centres; NaN where none
    bool HasFrame = false;
    int64_t Refused = 0;     ///< messages of this station refused
};

class CentreStore {
public:
    /// The store in folder `dir` (made when missing).
    explicit CentreStore(std::string dir);
    ~CentreStore();

    /// Takes one message received at `nowNs` (ns since the epoch).
    Ingest Take(const std::string& topic, const QByteArray& payload, int64_t nowNs);

    /// Every station heard of, by ID.
    std::vector<const StationInfo*> Stations() const;
    /// Messages refused in all (also those no station can be named for).
    int64_t Refused() const { return refused_; }

private:
    struct Station;
    Station& Open(const std::string& id);
    Ingest TakeFrame(Station& s, const QJsonObject& o);
    Ingest TakeEvent(Station& s, const QJsonObject& o);
    /// Counts a refusal and logs it at most once a minute per station.
    Ingest Refuse(const std::string& id, const char* why, int64_t nowNs);

    std::string dir_;
    std::map<std::string, std::unique_ptr<Station>> stations_;
    std::map<std::string, int64_t> lastLog_; ///< per station ("" for unnamed), ns
    int64_t refused_ = 0;
};

/// True for the name of a data file as stations publish it: 1..100 of
/// A-Z a-z 0-9 _ - . ending in `ext`, never "..".
bool ValidFileName(const std::string& name, const char* ext);

} // namespace centre
