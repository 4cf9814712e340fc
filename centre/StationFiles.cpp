#include "centre/StationFiles.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <type_traits>
#include <variant>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "centre/SyncedAppend.h"
#include "datafiles/CsvText.h"
#include "frames/TrendRow.h"
#include "protocol/Receipt.h"

namespace centre {
namespace {

/// Reads the records of a CSV written by this store: the first two fields
/// of every whole line after the header; `recordBase` is 1 when the second
/// field counts from 1; `group`: lines per record. Each (file, record) is
/// passed to `add`. Returns the length up to the last whole record: a torn
/// line, or the first lines of a record whose last ones are missing, lie
/// beyond it.
template <class Add>
long long ReadHeld(const std::string& path, int recordBase, int group, Add add)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || in.eof())
        return 0; // no whole header
    long long at = static_cast<long long>(line.size()) + 1;
    long long whole = at;
    std::string key;
    int lines = 0;
    while (std::getline(in, line) && !in.eof()) {
        const long long next = at + static_cast<long long>(line.size()) + 1;
        at = next;
        const size_t a = line.find(',');
        if (a == std::string::npos)
            continue;
        const size_t b = line.find(',', a + 1);
        const std::string k = line.substr(0, b);
        if (k != key) {
            key = k;
            lines = 0;
        }
        if (++lines < group)
            continue;
        lines = 0;
        whole = next;
        add(line.substr(0, a), std::strtoll(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10) - recordBase);
    }
    return whole;
}

/// The n-th trend file set aside because its header was of an older kind:
/// trend.old.csv, trend.old2.csv, ...
std::string OldTrendPath(const std::string& folder, int n)
{
    return folder + "/trend.old" + (n > 1 ? std::to_string(n) : std::string()) + ".csv";
}

/// The first line of `path` without its line end; empty when it has none.
std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string EventsHeader()
{
    std::string header = "file,record,event_no,time_utc,time_ns";
    for (const char* what : {"gain", "peak"})
        for (int c = 1; c <= kRadChannels; ++c)
            header.append(",").append(what).append(std::to_string(c));
    return header;
}

/// Counts the waiting records of `waiting` as stored.
int64_t MoveInto(std::map<std::string, HeldRecords>& stored, std::map<std::string, HeldRecords>& waiting)
{
    int64_t n = 0;
    for (const auto& [file, held] : waiting) {
        const int64_t before = stored[file].Count();
        stored[file].Merge(held);
        n += stored[file].Count() - before;
    }
    waiting.clear();
    return n;
}

} // namespace

StationFiles::StationFiles(const std::string& storeDir, const std::string& id) : folder_(storeDir + "/" + id)
{
    ::mkdir(folder_.c_str(), 0755);
    Load();
}

void StationFiles::Load()
{
    auto addFrame = [this](const std::string& file, int64_t r) {
        if (!stored_[file].Has(r) && r >= 0)
            ++frames_;
        stored_[file].Add(r);
        lastMoved_[file] = ++moves_;
    };
    auto addEvent = [this](const std::string& file, int64_t r) {
        if (!stored_[file].Has(r) && r >= 0)
            ++events_;
        stored_[file].Add(r);
        lastMoved_[file] = ++moves_;
    };
    // A trend file of an older header is set aside whole, never appended to
    // in the new columns; what it and earlier ones hold is still held.
    const std::string trend = folder_ + "/trend.csv";
    const std::string first = FirstLine(trend);
    int old = 1;
    for (; ::access(OldTrendPath(folder_, old).c_str(), F_OK) == 0; ++old)
        ReadHeld(OldTrendPath(folder_, old), 1, 1, addFrame);
    if (!first.empty() && first != frames::TrendCsvHeader() &&
        std::rename(trend.c_str(), OldTrendPath(folder_, old).c_str()) == 0) {
        std::fprintf(stderr, "vfon-centre: %s: заголовок прежнего вида, файл переименован в %s\n", trend.c_str(),
                     OldTrendPath(folder_, old).c_str());
        ReadHeld(OldTrendPath(folder_, old), 1, 1, addFrame);
    }
    // What lies after the last whole record was cut by a crash before it was
    // synced, so no receipt ever named it: it goes, and comes again.
    const std::string events = folder_ + "/events.csv";
    if (!CutTo(trend, ReadHeld(trend, 1, kFonChannels, addFrame)))
        std::fprintf(stderr, "vfon-centre: %s: не удалось отрезать оборванную строку\n", trend.c_str());
    if (!CutTo(events, ReadHeld(events, 0, 1, addEvent)))
        std::fprintf(stderr, "vfon-centre: %s: не удалось отрезать оборванную строку\n", events.c_str());
}

bool StationFiles::Take(const std::string& file, int64_t record, bool frame)
{
    auto& waiting = frame ? waitingTrend_ : waitingEvents_;
    if (stored_[file].Has(record) || waiting[file].Has(record)) {
        Touch(file);
        return false;
    }
    waiting[file].Add(record);
    return true;
}

void StationFiles::Touch(const std::string& file)
{
    lastMoved_[file] = ++moves_;
    receiptDue_ = true;
}

bool StationFiles::AddFrame(const protocol::FrameMessage& m)
{
    if (!Take(m.File, m.Record, true))
        return false;
    // The lines of the trend export: the same row, the same writer.
    datafiles::CsvText text;
    for (int c = 0; c < kFonChannels; ++c) {
        const auto i = static_cast<size_t>(c);
        frames::TrendRow row;
        row.File = m.File;
        row.Frame = m.Record + 1;
        row.Start = m.Start;
        row.StartNs = m.StartNs != 0 ? m.StartNs : frames::kNoStampNs;
        row.Channel = c + 1;
        row.Points = m.Points;
        row.MeanPerPoint = m.MeanPerPoint[i];
        row.MeanPerS = m.MeanPerS[i];
        row.Centre = m.Centre[i];
        row.B = static_cast<float>(m.B[i]);
        frames::SetLiveSeconds(row, m.LiveS);
        frames::AppendTrendCsv(text, row);
    }
    trendText_ += text.str();
    return true;
}

bool StationFiles::AddEvent(const protocol::EventMessage& m)
{
    if (!Take(m.File, m.Record, false))
        return false;
    datafiles::CsvText text;
    text.Text(m.File).Int(m.Record).Int(m.EventNo).Text(m.TimeUtc).Int(m.TimeNs);
    for (const auto* values : {&m.Gains, &m.Peak})
        for (int64_t v : *values)
            text.Int(v);
    text.EndLine();
    eventsText_ += text.str();
    if (m.TimeNs != 0)
        eventStamps_.push_back(StoredEvent{m.File, m.Record, m.TimeNs});
    return true;
}

bool StationFiles::AddRecord(const protocol::RecordMessage& m)
{
    const bool taken = std::visit(
        [this](const auto& numbers) {
            if constexpr (std::is_same_v<std::decay_t<decltype(numbers)>, protocol::FrameMessage>)
                return AddFrame(numbers);
            else
                return AddEvent(numbers);
        },
        m.Numbers);
    if (!taken)
        return false;
    raw_[m.File].push_back({m.Record, m.Bytes});
    rawBytes_ += m.Bytes.size();
    return true;
}

std::string StationFiles::CommitRecords()
{
    for (auto it = raw_.begin(); it != raw_.end();) {
        if (std::string why = WriteRecordsSynced(folder_ + "/" + it->first, it->second); !why.empty())
            return why;
        for (const RecordBytes& r : it->second)
            rawBytes_ -= r.Bytes.size();
        it = raw_.erase(it);
    }
    return {};
}

std::string StationFiles::Commit()
{
    // The records before their rows: a row stored means its record is.
    std::string why = CommitRecords();
    if (!why.empty())
        return why;
    if (!trendText_.empty()) {
        why = AppendSynced(folder_ + "/trend.csv", frames::TrendCsvHeader() + "\r\n", trendText_);
        if (why.empty()) {
            for (const auto& [file, held] : waitingTrend_)
                lastMoved_[file] = ++moves_;
            frames_ += MoveInto(stored_, waitingTrend_);
            trendText_.clear();
            receiptDue_ = true;
        }
    }
    if (!eventsText_.empty()) {
        std::string eventsWhy = AppendSynced(folder_ + "/events.csv", EventsHeader() + "\r\n", eventsText_);
        if (eventsWhy.empty()) {
            for (const auto& [file, held] : waitingEvents_)
                lastMoved_[file] = ++moves_;
            events_ += MoveInto(stored_, waitingEvents_);
            eventsText_.clear();
            storedEvents_.insert(storedEvents_.end(), eventStamps_.begin(), eventStamps_.end());
            eventStamps_.clear();
            receiptDue_ = true;
        } else if (why.empty()) {
            why = std::move(eventsWhy);
        }
    }
    // Both files are there, with their headers, once anything is stored.
    if (why.empty() && (frames_ > 0 || events_ > 0) && !bothMade_) {
        why = AppendSynced(folder_ + "/trend.csv", frames::TrendCsvHeader() + "\r\n", {});
        if (why.empty())
            why = AppendSynced(folder_ + "/events.csv", EventsHeader() + "\r\n", {});
        bothMade_ = why.empty();
    }
    return why;
}

std::map<std::string, int64_t> StationFiles::TakeReceipt()
{
    receiptDue_ = false;
    std::vector<std::pair<uint64_t, std::string>> recent;
    for (const auto& [file, when] : lastMoved_)
        recent.emplace_back(when, file);
    const size_t n = std::min(recent.size(), protocol::kMaxReceiptFiles);
    std::partial_sort(recent.begin(), recent.begin() + static_cast<ptrdiff_t>(n), recent.end(),
                      std::greater<>());
    std::map<std::string, int64_t> out;
    for (size_t i = 0; i < n; ++i)
        out[recent[i].second] = stored_[recent[i].second].Prefix;
    return out;
}

} // namespace centre
