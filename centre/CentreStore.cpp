#include "centre/CentreStore.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <cstdio>
#include <filesystem>
#include <type_traits>

#include "centre/StationFiles.h"

namespace centre {
namespace {

/// Threads that write and sync the stations' files of one commit at most.
constexpr size_t kCommitThreads = 16;

/// Commits each of `files` (StationFiles::Commit), several stations at a
/// time: a sync mostly waits for the disk, and the syncs of many files in
/// flight together share the file system's journal commits. What each
/// commit said, in the order of `files`.
std::vector<std::string> CommitEach(const std::vector<StationFiles*>& files)
{
    std::vector<std::string> why(files.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; (i = next++) < files.size();)
            why[i] = files[i]->Commit();
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < std::min(kCommitThreads, files.size()); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers)
        t.join();
    return why;
}

/// The last frame's figures for the page.
void ShowFrame(StationInfo& info, const protocol::FrameMessage& m)
{
    for (size_t c = 0; c < m.Centre.size(); ++c)
        info.Centres[c] = m.Centre[c] ? double(*m.Centre[c]) : std::nan("");
    info.Slopes = m.B;
    info.HasFrame = true;
}

} // namespace

/// One station: what the page shows and its files.
struct CentreStore::Station {
    StationInfo Info;
    std::unique_ptr<StationFiles> Files;
};

CentreStore::CentreStore(std::string dir, size_t maxStations) : dir_(std::move(dir)), maxStations_(maxStations)
{
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
}

CentreStore::~CentreStore() = default;

CentreStore::Station& CentreStore::Open(const std::string& id)
{
    auto& slot = stations_[id];
    if (slot)
        return *slot;
    slot = std::make_unique<Station>();
    Station& s = *slot;
    s.Info.Id = id;
    s.Files = std::make_unique<StationFiles>(dir_, id);
    s.Info.Frames = s.Files->Frames();
    s.Info.Events = s.Files->Events();
    return s;
}

Ingest CentreStore::Refuse(const protocol::Refusal& r, int64_t nowNs)
{
    ++refused_;
    ++refusedBy_[r.Reason];
    // Stations not taken share one log slot, so strangers grow nothing.
    const auto it = stations_.find(r.Station);
    if (it != stations_.end())
        ++it->second->Info.Refused;
    int64_t& last = lastLog_[it != stations_.end() ? r.Station : std::string()];
    if (last == 0 || nowNs - last >= int64_t{60} * 1000000000) {
        last = nowNs;
        std::fprintf(stderr, "vfon-centre: отклонено сообщение%s%s: %s (всего отклонено %lld)\n",
                     r.Station.empty() ? "" : " станции ", r.Station.c_str(), r.Reason.c_str(),
                     static_cast<long long>(refused_));
    }
    return Ingest::Refused;
}

Ingest CentreStore::Take(const std::string& topic, const QByteArray& payload, int64_t nowNs, bool retained)
{
    return std::visit(
        [&](const auto& m) -> Ingest {
            using M = std::decay_t<decltype(m)>;
            if constexpr (std::is_same_v<M, protocol::Refusal>) {
                return Refuse(m, nowNs);
            } else {
                if (stations_.size() >= maxStations_ && !stations_.contains(m.Station))
                    return Refuse({m.Station, "станций больше предела --max-stations"}, nowNs);
                Station& s = Open(m.Station);
                if (!retained)
                    s.Info.HeardNs = nowNs;
                if constexpr (std::is_same_v<M, protocol::StatusMessage>)
                    return TakeStatus(s, m, nowNs, retained);
                else if constexpr (std::is_same_v<M, protocol::FrameMessage>)
                    return TakeFrame(s, m);
                else if constexpr (std::is_same_v<M, protocol::EventMessage>)
                    return TakeEvent(s, m);
                else
                    return TakeRecord(s, m);
            }
        },
        protocol::Decode(topic, payload));
}

Ingest CentreStore::TakeStatus(Station& s, const protocol::StatusMessage& m, int64_t nowNs, bool retained)
{
    if (m.Offline()) {
        // The will or a goodbye: the last figures stay on show.
        s.Info.Offline = true;
        if (s.Info.StatusNs == 0)
            s.Info.StatusNs = nowNs;
        return Ingest::Status;
    }
    s.Info.Status = m.Fields;
    s.Info.Offline = false;
    // A kept status is as old as it is: its time says nothing of the clock.
    if (!retained) {
        s.Info.HasClockOffset = m.TimeNs > 0;
        s.Info.ClockOffsetNs = m.TimeNs > 0 ? m.TimeNs - nowNs : 0;
    }
    // When the station made it (a retained status may be old), else now.
    s.Info.StatusNs = m.TimeNs > 0 && m.TimeNs < nowNs ? m.TimeNs : nowNs;
    return Ingest::Status;
}

Ingest CentreStore::TakeFrame(Station& s, const protocol::FrameMessage& m)
{
    ShowFrame(s.Info, m);
    return s.Files->AddFrame(m) ? Ingest::Frame : Ingest::Duplicate;
}

Ingest CentreStore::TakeEvent(Station& s, const protocol::EventMessage& m)
{
    return s.Files->AddEvent(m) ? Ingest::Event : Ingest::Duplicate;
}

Ingest CentreStore::TakeRecord(Station& s, const protocol::RecordMessage& m)
{
    if (const auto* frame = std::get_if<protocol::FrameMessage>(&m.Numbers))
        ShowFrame(s.Info, *frame);
    if (!s.Files->AddRecord(m))
        return Ingest::Duplicate;
    waitingBytes_ += m.Bytes.size();
    return std::holds_alternative<protocol::FrameMessage>(m.Numbers) ? Ingest::Frame : Ingest::Event;
}

std::vector<protocol::Receipt> CentreStore::Commit(int64_t nowNs)
{
    waitingBytes_ = 0;
    std::vector<StationFiles*> waiting;
    for (auto& [id, s] : stations_)
        if (s->Files->Waiting())
            waiting.push_back(s->Files.get());
    const std::vector<std::string> failed = CommitEach(waiting);
    std::vector<protocol::Receipt> receipts;
    size_t next = 0;
    for (auto& [id, s] : stations_) {
        if (next < waiting.size() && waiting[next] == s->Files.get()) {
            if (const std::string& why = failed[next++]; !why.empty()) {
                ++counters_.StoreErrors;
                int64_t& last = lastStoreLog_[id];
                if (last == 0 || nowNs - last >= int64_t{60} * 1000000000) {
                    last = nowNs;
                    std::fprintf(stderr, "vfon-centre: данные станции %s не записаны (будут записаны позже): %s\n",
                                 id.c_str(), why.c_str());
                }
            }
            s->Info.Frames = s->Files->Frames();
            s->Info.Events = s->Files->Events();
            if (std::vector<StoredEvent> stored = s->Files->TakeStoredEvents(); eventSink_ && !stored.empty())
                eventSink_(id, stored);
        }
        waitingBytes_ += s->Files->WaitingBytes(); // what failed waits on
        if (s->Files->ReceiptDue())
            receipts.push_back({id, s->Files->TakeReceipt()});
    }
    if (!waiting.empty())
        ++counters_.Commits;
    return receipts;
}

bool CentreStore::Waiting() const
{
    for (const auto& [id, s] : stations_)
        if (s->Files->Waiting())
            return true;
    return false;
}

std::vector<const StationInfo*> CentreStore::Stations() const
{
    std::vector<const StationInfo*> out;
    for (const auto& [id, s] : stations_)
        out.push_back(&s->Info);
    return out;
}

} // namespace centre
