#pragma once
// The centre's store: what the stations publish, decoded and checked at the
// door (protocol/Inbound.h), kept per station in DIR/ID/ (StationFiles) and
// the last status in memory. Bad input is refused and counted, never kept
// and never a reason to stop.
#include <QByteArray>
#include <QJsonObject>
#include <array>
#include <functional>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "centre/CentreCounters.h"
#include "centre/StoredEvent.h"
#include "protocol/Inbound.h"
#include "protocol/Receipt.h"

namespace centre {

class StationFiles;

/// What became of one message (a frame or event taken waits for Commit).
enum class Ingest { Status, Frame, Event, Duplicate, Refused };

/// Stations taken at most, unless told otherwise.
inline constexpr size_t kDefaultMaxStations = 1000;

/// What the centre knows of one station.
struct StationInfo {
    std::string Id;
    QJsonObject Status;      ///< the last status as received
    bool Offline = false;    ///< the will (or a goodbye) came after it
    int64_t StatusNs = 0;    ///< when it was made (station's time_ns, at most the time received), 0: never
    int64_t HeardNs = 0;     ///< the centre's clock when a message just published by it last came, 0: never
    int64_t ClockOffsetNs = 0; ///< the last status's time_ns less the centre's clock at its arrival
    bool HasClockOffset = false;
    int64_t Frames = 0;      ///< frame records stored (on the disk)
    int64_t Events = 0;      ///< event records stored (on the disk)
    std::array<double, 4> Centres{}; ///< the last frame's centres; NaN where none
    std::array<double, 4> Slopes{};  ///< the last frame's slopes b; NaN where none
    bool HasFrame = false;
    int64_t Refused = 0;     ///< messages of this station refused
};

class CentreStore {
public:
    /// The store in folder `dir` (made when missing), taking at most
    /// `maxStations` stations: messages of any further station are refused.
    explicit CentreStore(std::string dir, size_t maxStations = kDefaultMaxStations);
    ~CentreStore();

    /// Takes one message received at `nowNs` (ns since the epoch);
    /// `retained`: the broker handed on a message it kept (at a connection),
    /// which tells nothing of the station being heard now.
    Ingest Take(const std::string& topic, const QByteArray& payload, int64_t nowNs, bool retained = false);

    /// Writes and syncs every station's waiting records (a group commit,
    /// several stations at a time);
    /// returns the receipts due for the stations whose records moved. A
    /// station whose write failed is logged at most once a minute with the
    /// reason; its records wait for the next commit and are not counted.
    std::vector<protocol::Receipt> Commit(int64_t nowNs);
    /// Records wait for a commit.
    bool Waiting() const;
    /// So many bytes of whole records wait that they are written now rather
    /// than at the next commit's time (a bound on the memory they take).
    bool CommitDue() const { return waitingBytes_ >= kMaxWaitingBytes; }
    /// Bytes of whole records that wait at most before a commit is due.
    static constexpr size_t kMaxWaitingBytes = 64u << 20;
    /// Hands each commit's newly stored events of a station to `sink`.
    using EventSink = std::function<void(const std::string& station, const std::vector<StoredEvent>& events)>;
    void OnEventsStored(EventSink sink) { eventSink_ = std::move(sink); }
    CentreCounters& Counters() { return counters_; }
    const CentreCounters& Counters() const { return counters_; }

    /// Every station heard of, by ID.
    std::vector<const StationInfo*> Stations() const;
    /// Messages refused in all (also those no station can be named for).
    int64_t Refused() const { return refused_; }
    /// Messages refused, per reason.
    const std::map<std::string, int64_t>& RefusedByReason() const { return refusedBy_; }

private:
    struct Station;
    Station& Open(const std::string& id);
    Ingest TakeStatus(Station& s, const protocol::StatusMessage& m, int64_t nowNs, bool retained);
    Ingest TakeFrame(Station& s, const protocol::FrameMessage& m);
    Ingest TakeEvent(Station& s, const protocol::EventMessage& m);
    Ingest TakeRecord(Station& s, const protocol::RecordMessage& m);
    /// Counts a refusal and logs it at most once a minute per station.
    Ingest Refuse(const protocol::Refusal& r, int64_t nowNs);

    std::string dir_;
    size_t maxStations_;
    std::map<std::string, std::unique_ptr<Station>> stations_;
    std::map<std::string, int64_t> lastLog_; ///< per station taken ("" for all others), ns
    std::map<std::string, int64_t> lastStoreLog_; ///< per station, ns
    CentreCounters counters_;
    int64_t refused_ = 0;
    std::map<std::string, int64_t> refusedBy_;
    size_t waitingBytes_ = 0; ///< of whole records taken since the last commit
    EventSink eventSink_;
};

} // namespace centre
