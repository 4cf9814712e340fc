#pragma once
// The centre's store: what the stations publish, decoded and checked at the
// door (protocol/Inbound.h), kept per station in DIR/ID/ (StationFiles) and
// the last status in memory. Bad input is refused and counted, never kept
// and never a reason to stop.
#include <QByteArray>
#include <QJsonObject>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "protocol/Inbound.h"

namespace centre {

class StationFiles;

/// What became of one message.
enum class Ingest { Status, Frame, Event, Duplicate, Refused };

/// What the centre knows of one station.
struct StationInfo {
    std::string Id;
    QJsonObject Status;      ///< the last status as received
    bool Offline = false;    ///< the will (or a goodbye) came after it
    int64_t StatusNs = 0;    ///< when it was made (station's time_ns, at most the time received), 0: never
    int64_t HeardNs = 0;     ///< the centre's clock when a message of it last came, 0: never
    int64_t ClockOffsetNs = 0; ///< the last status's time_ns less the centre's clock at its arrival
    bool HasClockOffset = false;
    int64_t Frames = 0;      ///< frame records stored
    int64_t Events = 0;      ///< event records stored
    std::array<double, 4> Centres{}; ///< the last frame's centres; NaN where none
    std::array<double, 4> Slopes{};  ///< the last frame's slopes b; NaN where none
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
    /// Messages refused, per reason.
    const std::map<std::string, int64_t>& RefusedByReason() const { return refusedBy_; }

private:
    struct Station;
    Station& Open(const std::string& id);
    Ingest TakeStatus(Station& s, const protocol::StatusMessage& m, int64_t nowNs);
    Ingest TakeFrame(Station& s, const protocol::FrameMessage& m);
    Ingest TakeEvent(Station& s, const protocol::EventMessage& m);
    /// Counts a refusal and logs it at most once a minute per station.
    Ingest Refuse(const protocol::Refusal& r, int64_t nowNs);

    std::string dir_;
    std::map<std::string, std::unique_ptr<Station>> stations_;
    std::map<std::string, int64_t> lastLog_; ///< per station ("" for unnamed), ns
    int64_t refused_ = 0;
    std::map<std::string, int64_t> refusedBy_;
};

} // namespace centre
