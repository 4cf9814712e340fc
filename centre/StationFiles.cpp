#include "centre/StationFiles.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "datafiles/CsvText.h"
#include "frames/TrendRow.h"

namespace centre {
namespace {

using Held = std::set<std::pair<std::string, int64_t>>;

/// The (file, record) pairs of a CSV written by this store: the first two
/// fields of every whole line after the header (a torn last line, cut by a
/// crash, does not count); `recordBase` is 1 when the second field counts
/// from 1.
void ReadHeld(const std::string& path, int recordBase, Held& held)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line) && !in.eof()) {
        const size_t a = line.find(',');
        if (a == std::string::npos)
            continue;
        const size_t b = line.find(',', a + 1);
        held.insert({line.substr(0, a), std::strtoll(line.substr(a + 1, b - a - 1).c_str(), nullptr, 10) - recordBase});
    }
}

/// Opens `path` for appending; writes `header` when it is new or empty, and
/// ends a torn last line so that the next line starts on its own.
std::FILE* OpenCsv(const std::string& path, const std::string& header)
{
    std::FILE* f = std::fopen(path.c_str(), "a+b");
    if (!f)
        return f;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    if (size == 0) {
        std::fputs((header + "\r\n").c_str(), f);
    } else if (std::fseek(f, -1, SEEK_END) == 0 && std::fgetc(f) != '\n') {
        std::fseek(f, 0, SEEK_END);
        std::fputs("\r\n", f);
    }
    std::fflush(f);
    return f;
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

void Append(std::FILE* f, const datafiles::CsvText& text)
{
    if (!f)
        return;
    std::fwrite(text.str().data(), 1, text.size(), f);
    std::fflush(f);
}

} // namespace

StationFiles::StationFiles(const std::string& storeDir, const std::string& id)
{
    const std::string folder = storeDir + "/" + id;
    ::mkdir(folder.c_str(), 0755);
    // A trend file of an older header is set aside whole, never appended to
    // in the new columns; what it and earlier ones hold is still held.
    const std::string trend = folder + "/trend.csv";
    const std::string first = FirstLine(trend);
    int old = 1;
    for (; ::access(OldTrendPath(folder, old).c_str(), F_OK) == 0; ++old)
        ReadHeld(OldTrendPath(folder, old), 1, framesHeld_);
    if (!first.empty() && first != frames::TrendCsvHeader() &&
        std::rename(trend.c_str(), OldTrendPath(folder, old).c_str()) == 0) {
        std::fprintf(stderr, "vfon-centre: %s: заголовок прежнего вида, файл переименован в %s\n", trend.c_str(),
                     OldTrendPath(folder, old).c_str());
        ReadHeld(OldTrendPath(folder, old), 1, framesHeld_);
    }
    ReadHeld(trend, 1, framesHeld_);
    ReadHeld(folder + "/events.csv", 0, eventsHeld_);
    trend_ = OpenCsv(trend, frames::TrendCsvHeader());
    events_ = OpenCsv(folder + "/events.csv", EventsHeader());
}

StationFiles::~StationFiles()
{
    if (trend_)
        std::fclose(trend_);
    if (events_)
        std::fclose(events_);
}

bool StationFiles::AddFrame(const protocol::FrameMessage& m)
{
    if (!framesHeld_.insert({m.File, m.Record}).second)
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
    Append(trend_, text);
    return true;
}

bool StationFiles::AddEvent(const protocol::EventMessage& m)
{
    if (!eventsHeld_.insert({m.File, m.Record}).second)
        return false;
    datafiles::CsvText text;
    text.Text(m.File).Int(m.Record).Int(m.EventNo).Text(m.TimeUtc).Int(m.TimeNs);
    for (const auto* values : {&m.Gains, &m.Peak})
        for (int64_t v : *values)
            text.Int(v);
    text.EndLine();
    Append(events_, text);
    return true;
}

} // namespace centre
