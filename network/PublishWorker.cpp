#include "network/PublishWorker.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <string_view>
#include <utility>
#include <sys/statvfs.h>
#include <sys/timex.h>
#include <unistd.h>
#include <vector>

#include "datafiles/RecordReader.h"
#include "protocol/MqttClient.h"
#include "protocol/MqttReasons.h"
#include "protocol/Receipt.h"
#include "protocol/RecordMessage.h"

namespace net {
namespace {

/// Records sent without a receipt at most; beyond it the files wait.
constexpr int64_t kWindow = 200;
/// With records out and no receipt moving for this long, they go again.
constexpr std::chrono::seconds kStall{30};
/// At a clean stop, receipts are waited for at most this long.
constexpr std::chrono::seconds kDrain{10};
/// No records sent for this long after the broker refused one.
constexpr std::chrono::seconds kRefusalPause{10};
/// Records read from a file at a time.
constexpr int64_t kChunk = 32;

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int64_t DiskFree(const std::string& dir)
{
    struct statvfs st{};
    if (statvfs(dir.empty() ? "." : dir.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

/// The kernel's view: the clock is kept in step by NTP.
bool ClockSynced()
{
    struct timex tx{};
    const int state = ntp_adjtime(&tx);
    return state != -1 && state != TIME_ERROR && !(tx.status & STA_UNSYNC);
}

/// The topic and payload of one record: whole, as the file holds it, when
/// `mode` sends its kind whole, else its numbers only.
std::pair<std::string, QByteArray> MessageOf(const std::string& station, WholeRecords mode, const std::string& file,
                                             int64_t record, bool lastRecord, const char* raw, size_t size)
{
    const bool fon = datafiles::KindOfPath(file) == datafiles::RecordKind::Fon;
    const auto& k = *reinterpret_cast<const TFonKadr*>(raw);
    const auto& e = *reinterpret_cast<const TRadKadr*>(raw);
    if (mode == WholeRecords::All || (mode == WholeRecords::Events && !fon)) {
        // The centre reads the record's stamps at the offset of this clock then.
        const int32_t offset = fon ? protocol::LocalUtcOffset(k.Year, k.Month, k.Day, k.Hour, k.Min, k.Sec, k.MSec)
                                   : protocol::LocalUtcOffset(e.Year, e.Month, e.Day, e.Hour, e.Min, e.Sec, e.MSec);
        return {protocol::RecordTopic(station),
                protocol::RecordPayload(file, record, lastRecord, offset, std::string_view(raw, size))};
    }
    if (fon)
        return {protocol::FrameTopic(station), protocol::FrameJson(station, file, record, k, lastRecord)};
    return {protocol::EventTopic(station), protocol::EventJson(station, file, record, e)};
}

} // namespace

PublishWorker::PublishWorker(const NetworkSettings& s, const std::string& dataDir)
    : settings_(s), dataDir_(dataDir), outbox_(dataDir)
{
    outbox_.Load();
    for (const OutboxFile& f : outbox_.Files())
        files_[f.Name] = FileState{f.Acked, -1};

    client_ = std::make_unique<protocol::MqttClient>("vfon-" + s.Station, true);
    client_->SetWill(protocol::StatusTopic(s.Station), protocol::WillJson(s.Station).toStdString(), 1, true);
    client_->SetCredentials(s.User, s.PasswordFile.empty() ? std::string() : protocol::ReadPassword(s.PasswordFile));
    protocol::BrokerAddress a;
    protocol::ParseBrokerAddress(s.Publish, a);
    if (a.Tls)
        client_->SetTls(s.CaFile);
    client_->OnConnection = [this](bool up) {
        {
            std::lock_guard lock(mutex_);
            connectedNow_ = up;
            if (!up)
                lost_ = true;
            else
                connectRefusal_.clear();
        }
        wake_.notify_one();
        if (OnLinkChanged)
            OnLinkChanged();
    };
    client_->SubscribeOnConnect(protocol::ReceiptTopic(s.Station), 1);
    client_->OnMessage = [this](const std::string& topic, const char* payload, int length, bool) {
        if (topic != protocol::ReceiptTopic(settings_.Station))
            return;
        std::optional<protocol::Receipt> r = protocol::DecodeReceipt(QByteArray(payload, length));
        if (!r || r->Station != settings_.Station)
            return;
        {
            std::lock_guard lock(mutex_);
            receipts_.push_back(std::move(r->Stored));
        }
        wake_.notify_one();
    };
    client_->OnRefused = [this](const std::string& why) {
        {
            std::lock_guard lock(mutex_);
            connectRefusal_ = why;
        }
        if (OnLinkChanged)
            OnLinkChanged();
    };
    client_->OnPublished = [this](int mid, int reason) {
        {
            std::lock_guard lock(mutex_);
            if (reason < protocol::kFirstRefusal)
                acks_.push_back(mid);
            else
                refused_.emplace_back(mid, reason);
        }
        wake_.notify_one();
    };
    thread_ = std::thread([this] { Loop(); });
    client_->Start(a.Host, a.Port, protocol::kKeepAliveSeconds);
}

PublishWorker::~PublishWorker()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_one();
    thread_.join();
    client_->Stop();
    outbox_.Save();
}

void PublishWorker::PostStatus(const protocol::StatusFigures& f)
{
    {
        std::lock_guard lock(mutex_);
        status_ = f;
    }
    wake_.notify_one();
}

void PublishWorker::PostLimit(const std::string& name, int64_t limit)
{
    {
        std::lock_guard lock(mutex_);
        limits_.push_back({name, limit});
    }
    wake_.notify_one();
}

bool PublishWorker::Connected() const { return client_->Connected(); }

std::string PublishWorker::Refusal() const
{
    std::lock_guard lock(mutex_);
    return client_->Connected() ? publishRefusal_ : connectRefusal_;
}

void PublishWorker::Loop()
{
    using Clock = std::chrono::steady_clock;
    auto lastSave = Clock::now();
    auto progressAt = Clock::now(); // a receipt moved, or nothing was out
    std::optional<Clock::time_point> drainUntil; // at the end: what is written goes out first, briefly
    bool dirty = false;
    for (;;) {
        Handed h = TakeHanded(drainUntil.has_value());
        const bool newFile = ApplyLimits(h.Limits); // saved at once: a kill soon after still finds it listed
        dirty = dirty || !h.Limits.empty();
        ApplyAcks(h.Acks);
        if (ApplyReceipts(h.Receipts)) {
            dirty = true;
            progressAt = Clock::now();
        }
        if (!h.Refused.empty()) {
            ApplyRefusals(h.Refused);
            dirty = true;
        }
        if (Unreceipted() == 0)
            progressAt = Clock::now();
        // What the centre has not stored is sent again (at least once): after
        // a lost connection, after a stall, and once at a clean stop, whose
        // bounded wait is shorter than a stall (a record the broker dropped
        // before the centre listened leaves a gap no receipt passes).
        const bool stopping = h.Quit && !drainUntil;
        if (h.Lost || (h.Up && Clock::now() - progressAt > kStall) || (stopping && h.Up && Unreceipted() > 0)) {
            Rewind();
            progressAt = Clock::now();
        }
        HandOnStatus(h.Status, h.Up);
        const bool sentAny = h.Up && PublishFiles();
        const auto now = Clock::now();
        if (dirty && (h.Quit || newFile || now - lastSave > std::chrono::seconds(1))) {
            ForgetDone();
            outbox_.Save();
            dirty = false;
            lastSave = now;
        }
        if (h.Quit) {
            if (!drainUntil)
                drainUntil = now + kDrain;
            const bool pending = sentAny || Unreceipted() > 0;
            if (!h.Up || !pending || now > *drainUntil) {
                ForgetDone();
                outbox_.Save();
                if (h.Up)
                    SayGoodbye();
                break;
            }
        }
    }
}

PublishWorker::Handed PublishWorker::TakeHanded(bool draining)
{
    Handed h;
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(draining ? 50 : 500), [&] {
        return (quit_ && !draining) || status_ || !limits_.empty() || !acks_.empty() || !receipts_.empty() ||
               !refused_.empty() || lost_;
    });
    h.Status.swap(status_);
    h.Limits.swap(limits_);
    h.Acks.swap(acks_);
    h.Receipts.swap(receipts_);
    h.Refused.swap(refused_);
    h.Lost = lost_;
    lost_ = false;
    h.Up = connectedNow_;
    h.Quit = quit_;
    return h;
}

bool PublishWorker::ApplyLimits(const std::vector<FileLimit>& limits)
{
    bool newFile = false;
    for (const FileLimit& l : limits) {
        const size_t before = outbox_.Files().size();
        OutboxFile& entry = outbox_.Entry(l.Name);
        newFile = newFile || outbox_.Files().size() != before;
        FileState& st = files_[l.Name];
        if (l.Limit == 0 && (entry.Acked > 0 || st.Sent > 0)) {
            // A limit of 0 comes only with a file the run has just
            // created: an entry under its name is of an earlier file,
            // since removed. Its acknowledgements are not this one's.
            entry.Acked = 0;
            st.Sent = 0;
            std::erase_if(inflight_, [&](const auto& m) { return m.second.first == l.Name; });
            newFile = true;
        }
        st.Limit = l.Limit;
    }
    return newFile;
}

void PublishWorker::HandOnStatus(const std::optional<protocol::StatusFigures>& status, bool up)
{
    if (status && up) {
        PublishStatus(*status);
    } else if (status) {
        std::lock_guard lock(mutex_); // kept for the connection to come, unless a newer one came
        if (!status_)
            status_ = status;
    }
}

bool PublishWorker::PublishFiles()
{
    bool sentAny = false;
    if (std::chrono::steady_clock::now() < pauseUntil_)
        return false;
    bool more = true;
    while (more && Unreceipted() < kWindow) {
        more = false;
        // Files of a kind go out in the order they were listed: a
        // later one (a rescue file, the next run's) waits until the
        // records of those before it are sent.
        std::set<datafiles::RecordKind> behind;
        for (OutboxFile& f : outbox_.Files()) {
            const datafiles::RecordKind kind = datafiles::KindOfPath(f.Name);
            if (behind.count(kind))
                continue;
            bool rest = false;
            more = SendRecords(f, files_[f.Name], rest) || more;
            if (rest)
                behind.insert(kind);
        }
        sentAny = sentAny || more;
    }
    return sentAny;
}

void PublishWorker::SayGoodbye()
{
    const QByteArray bye = protocol::WillJson(settings_.Station);
    const int mid = client_->Publish(protocol::StatusTopic(settings_.Station), bye.constData(),
                                     static_cast<int>(bye.size()), 1, true);
    std::unique_lock lock(mutex_); // its acknowledgement, briefly
    wake_.wait_for(lock, std::chrono::seconds(1), [&] {
        return mid < 0 || std::find(acks_.begin(), acks_.end(), mid) != acks_.end();
    });
}

void PublishWorker::PublishStatus(protocol::StatusFigures f)
{
    f.TimeNs = NowNs();
    f.DiskFreeBytes = DiskFree(dataDir_);
    f.ClockSynced = ClockSynced();
    const QByteArray json = protocol::StatusJson(f);
    client_->Publish(protocol::StatusTopic(settings_.Station), json.constData(), static_cast<int>(json.size()), 1, true);
}

bool PublishWorker::SendRecords(OutboxFile& entry, FileState& st, bool& rest)
{
    rest = false;
    const datafiles::RecordKind kind = datafiles::KindOfPath(entry.Name);
    const size_t size = datafiles::RecordSize(kind);
    if (size == 0)
        return false;
    if (st.Limit >= 0 && st.Sent >= st.Limit)
        return false;
    datafiles::RecordReader reader(outbox_.PathOf(entry.Name), size, datafiles::RecordReader::Access::Random);
    if (!reader.ok())
        return false;
    const int64_t whole = reader.records();
    const int64_t limit = st.Limit >= 0 ? std::min(st.Limit, whole) : whole;
    if (st.Sent >= limit || !reader.Seek(st.Sent))
        return false;
    rest = true;
    const int64_t count = std::min<int64_t>({kChunk, limit - st.Sent, kWindow - Unreceipted()});
    if (count <= 0)
        return false;
    std::vector<char> buffer(static_cast<size_t>(count) * size);
    const int64_t got = reader.Read(buffer.data(), count);
    bool sent = false;
    for (int64_t i = 0; i < got; ++i) {
        const int64_t record = st.Sent;
        const char* raw = buffer.data() + static_cast<size_t>(i) * size;
        const auto [topic, payload] = MessageOf(settings_.Station, WholeRecordsOf(settings_), entry.Name, record,
                                                record == whole - 1, raw, size);
        const int mid = client_->Publish(topic, payload.constData(), static_cast<int>(payload.size()), 1, false);
        if (mid < 0)
            return sent; // not connected: tried again later
        inflight_[mid] = {entry.Name, record};
        ++st.Sent;
        sent = true;
    }
    rest = got == count && st.Sent < limit;
    return sent;
}

void PublishWorker::ApplyAcks(const std::vector<int>& mids)
{
    bool taken = false; // a record the broker took: it takes them again
    for (int mid : mids)
        taken = inflight_.erase(mid) > 0 || taken;
    if (!taken)
        return;
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = !publishRefusal_.empty();
        publishRefusal_.clear();
    }
    if (changed && OnLinkChanged)
        OnLinkChanged();
}

bool PublishWorker::ApplyReceipts(const std::vector<std::map<std::string, int64_t>>& receipts)
{
    bool moved = false;
    for (const auto& stored : receipts)
        for (OutboxFile& entry : outbox_.Files()) {
            const auto it = stored.find(entry.Name);
            if (it == stored.end() || it->second <= entry.Acked)
                continue;
            entry.Acked = it->second;
            FileState& st = files_[entry.Name];
            st.Sent = std::max(st.Sent, entry.Acked);
            moved = true;
        }
    return moved;
}

int64_t PublishWorker::Unreceipted()
{
    int64_t n = 0;
    for (const OutboxFile& f : outbox_.Files())
        n += std::max<int64_t>(0, files_[f.Name].Sent - f.Acked);
    return n;
}

void PublishWorker::ApplyRefusals(const std::vector<std::pair<int, int>>& refused)
{
    bool records = false;
    for (const auto& [mid, reason] : refused)
        records = inflight_.count(mid) > 0 || records;
    const std::string why = "брокер не принимает данные станции " + settings_.Station + ": " +
                            protocol::ReasonText(refused.back().second);
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = publishRefusal_ != why;
        publishRefusal_ = why;
    }
    if (changed && OnLinkChanged)
        OnLinkChanged();
    if (!records)
        return; // a status: nothing of the outbox was in it
    // The refused record and those after it are not the centre's: they go
    // again after a pause (the broker's rules may be mended meanwhile).
    Rewind();
    pauseUntil_ = std::chrono::steady_clock::now() + kRefusalPause;
}

void PublishWorker::Rewind()
{
    inflight_.clear();
    for (OutboxFile& f : outbox_.Files()) {
        files_[f.Name].Sent = f.Acked;
    }
}

void PublishWorker::ForgetDone()
{
    std::vector<std::string> done;
    for (const OutboxFile& f : outbox_.Files()) {
        const FileState& st = files_[f.Name];
        if (st.Limit >= 0)
            continue; // a run still writes it
        const size_t size = datafiles::RecordSize(datafiles::KindOfPath(f.Name));
        datafiles::RecordReader reader(outbox_.PathOf(f.Name), size ? size : 1);
        if (!reader.ok() || f.Acked >= reader.records())
            done.push_back(f.Name);
    }
    for (const std::string& name : done) {
        outbox_.Forget(name);
        files_.erase(name);
    }
}

} // namespace net
