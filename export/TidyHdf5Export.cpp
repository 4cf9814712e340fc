#include "export/TidyHdf5Export.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "datafiles/FileProblemText.h"
#include "datafiles/FrameEnd.h"
#include "export/TidyCoincidences.h"
#include "export/hdf5/Hdf5Part.h"
#include "frames/LiveSeconds.h"
#include "frames/PointTimes.h"
#include "frames/TrendRow.h"
#include "datafiles/StationId.h"
#include "frames/FrameNumbers.h"

namespace dataexport {
namespace {

using CT = ColumnType;

/// `name_1` … `name_n`, each with its channel in the description.
void Numbered(std::vector<TableColumn>& cols, const std::string& name, int n, CT type, const std::string& units,
              const std::string& description)
{
    for (int c = 1; c <= n; ++c)
        cols.push_back({name + "_" + std::to_string(c), type, units, description + " of channel " + std::to_string(c)});
}

/// The provenance columns: the input's row in the station's files table and
/// the record in it.
void Provenance(std::vector<TableColumn>& cols)
{
    cols.push_back({"file_id", CT::Int32, "1", "the data file the row comes from: its file_id in the files table"});
    cols.push_back({"record", CT::Int64, "1", "record of that file, from 0"});
}

// Column order of each table; the Put calls below follow it.
std::vector<TableColumn> FileColumns(size_t nameSize)
{
    return {{"file_id", CT::Int32, "1", "number of the file in this station's tables, from 0"},
            {"file", CT::Text, "", "data file, path as given (UTF-8)", nameSize}};
}

std::vector<TableColumn> PointColumns()
{
    std::vector<TableColumn> c{{"time_ns", CT::Int64, "ns", "instant the point was stored, since 1970-01-01 UTC"},
                               {"frame", CT::Int16, "1", "frame number (KadrNo)"},
                               {"point", CT::Int16, "1", "point of the frame, 1..600"}};
    Numbered(c, "count", 4, CT::Int32, "1", "pulses counted in the point");
    c.push_back({"live_s", CT::Float64, "s", "live seconds of the point: 25 cycles of 10 ms"});
    c.push_back({"wall_s", CT::Float64, "s",
                 "wall seconds of the point: from the previous point's time (the frame start for point 1); NaN "
                 "when either time is unknown"});
    Provenance(c);
    return c;
}

std::vector<TableColumn> FrameColumns()
{
    std::vector<TableColumn> c{{"start_ns", CT::Int64, "ns", "instant the frame started, since 1970-01-01 UTC"},
                               {"frame", CT::Int16, "1", "frame number (KadrNo)"},
                               {"points", CT::Int16, "1", "recorded points of the frame (600, fewer for a stopped run)"},
                               {"end_point", CT::Int16, "1", "point that ends a stopped run's recording, 0 for none"}};
    Numbered(c, "limit", 4, CT::Int16, "ADC code", "amplitude limit (0: not recorded)");
    Numbered(c, "gain", 4, CT::Int16, "1", "detector gain");
    c.push_back({"sampling_rate_hz", CT::Int32, "Hz", "ADC sampling rate of the background boards"});
    Provenance(c);
    return c;
}

std::vector<TableColumn> SpectrumColumns()
{
    std::vector<TableColumn> c{{"frame", CT::Int16, "1", "frame number (KadrNo)"},
                               {"channel", CT::Int16, "1", "detector channel, 1..4"},
                               {"bin", CT::Int16, "ADC code", "amplitude of the bin, 1..256"},
                               {"count", CT::Int16, "1", "pulses of that amplitude in the frame (32767: that many or more)"},
                               // The row of the frame in `frames`, which says where it comes from:
                               // a file name in each of 1024 rows a frame would double the export's work.
                               {"frame_row", CT::Int64, "1", "row (index) of the frame in the frames table"}};
    return c;
}

std::vector<TableColumn> EventColumns()
{
    std::vector<TableColumn> c{{"time_ns", CT::Int64, "ns", "instant the event was picked up, since 1970-01-01 UTC"},
                               {"event_no", CT::Int16, "1", "event number (EventNo)"}};
    Numbered(c, "gain", 6, CT::Int16, "1", "radio gain");
    Numbered(c, "peak", 6, CT::Int32, "ADC code", "largest absolute sample");
    Provenance(c);
    return c;
}

std::vector<TableColumn> TrendColumns()
{
    using frames::kTrendColumns;
    auto column = [](int i, CT type) {
        const frames::TrendColumn& t = kTrendColumns[static_cast<size_t>(i)];
        return TableColumn{t.Name, type, t.Unit, t.Doc};
    };
    std::vector<TableColumn> c{column(frames::kTrendStartNs, CT::Int64),
                               {kTrendColumns[frames::kTrendFrame].Name, CT::Int16, "1", "frame number (KadrNo)"},
                               column(frames::kTrendPoints, CT::Int16), column(frames::kTrendLiveS, CT::Float64)};
    for (int i : {frames::kTrendMeanPerPoint, frames::kTrendMeanPerS, frames::kTrendCentre, frames::kTrendB,
                  frames::kTrendMeanPerLiveS}) {
        const frames::TrendColumn& t = kTrendColumns[static_cast<size_t>(i)];
        Numbered(c, t.Name, 4, CT::Float64, t.Unit, t.Doc);
    }
    Provenance(c);
    return c;
}

/// The largest absolute sample (32768 for a sample of -32768).
int32_t Peak(const int16_t* s)
{
    int32_t peak = 0;
    for (int i = 0; i < kRadSamples; ++i)
        peak = std::max(peak, std::abs(static_cast<int32_t>(s[i])));
    return peak;
}

} // namespace

std::string TidyHdf5Export::StationOf(const std::string& input, const std::string& station, std::string& why)
{
    const std::string id = station.empty() ? datafiles::FolderName(input) : station;
    // A station's group beside the tables of the coincidences may not take their names.
    for (const char* table : kCoincidenceTables)
        if (id == table) {
            why = "станция «" + id + "» назвалась бы как таблица совпадений файла; задайте --station ID";
            return {};
        }
    if (!station.empty() || datafiles::ValidStationId(id) || id.empty()) // empty: no such input, which the walk reports
        return id;
    why = "имя папки «" + id + "» не годится в имя станции (1–32 знака A–Z a–z 0–9 _ -); задайте --station ID";
    return {};
}

TidyHdf5Export::TidyHdf5Export(std::string path, const std::vector<std::string>& inputs, const frames::StationZone& zone,
                               TidySettings settings)
    : path_(std::move(path)), part_(datafiles::PartName(path_)), zone_(zone), settings_(std::move(settings))
{
    for (const std::string& p : inputs)
        nameSize_ = std::max(nameSize_, p.size());
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); // errors are reported by the caller, once
    file_ = H5Fcreate(part_.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    if (file_ < 0)
        ThrowHdf5(datafiles::About(part_, "не создаётся"));
}

TidyHdf5Export::~TidyHdf5Export() { Abandon(); }

TidyHdf5Export::Station& TidyHdf5Export::Open(const std::string& id)
{
    auto it = stations_.find(id);
    if (it != stations_.end())
        return it->second;
    Station& s = stations_[id];
    const std::string g = "/" + id;
    const int level = settings_.level;
    s.files = std::make_unique<PandasTable>(file_, g + "/files", FileColumns(nameSize_), level);
    s.points = std::make_unique<PandasTable>(file_, g + "/points", PointColumns(), level);
    s.frames = std::make_unique<PandasTable>(file_, g + "/frames", FrameColumns(), level);
    s.spectra = std::make_unique<PandasTable>(file_, g + "/spectra", SpectrumColumns(), level);
    s.events = std::make_unique<PandasTable>(file_, g + "/events", EventColumns(), level);
    s.trend = std::make_unique<PandasTable>(file_, g + "/trend", TrendColumns(), level);
    const hsize_t eventRows = std::max<hsize_t>(1, (1u << 20) / (2 * kRadChannels * kRadSamples));
    s.samples = std::make_unique<Hdf5Table>(file_, g + "/event_samples", H5T_STD_I16LE, eventRows, level,
                                            std::vector<hsize_t>{kRadChannels, kRadSamples});
    StringAttribute(s.samples->Dataset(), "units", "ADC code");
    StringAttribute(s.samples->Dataset(), "description",
                    "samples of radio channels 1..6 of each event; row i belongs to row i of events");
    const hid_t group = H5Gopen2(file_, g.c_str(), H5P_DEFAULT);
    StringAttribute(group, "station", id);
    StringAttribute(group, "timezone", zone_.Name());
    StringAttribute(group, "program_version", "vfon-export " + settings_.programVersion);
    H5Gclose(group);
    return s;
}

std::string TidyHdf5Export::BeginFile(const SourceFile& file)
{
    std::string why;
    const std::string id = StationOf(file.path, settings_.station, why);
    if (id.empty())
        return why.empty() ? "станция не определяется (папка не найдена)" : why;
    current_ = &Open(id);
    fileId_ = static_cast<int32_t>(current_->files->Rows());
    char* row = current_->files->NextRow();
    current_->files->Put(row, 0, fileId_);
    current_->files->PutText(row, 1, file.path);
    return {};
}

void TidyHdf5Export::Frame(const SourceFile& file, int64_t index, const TFonKadr& f)
{
    Station& s = *current_;
    const bool last = index == file.records - 1;
    const int end = StopPoint(f, last);
    const int points = end > 0 ? end - 1 : kFonPoints;
    const int64_t start = zone_.UtcNs(frames::StampOf(f));
    PutPoints(s, index, f, start, points);
    const int64_t frameRow = static_cast<int64_t>(s.frames->Rows());
    PutFrameRow(s, index, f, start, points, end);
    PutSpectra(s, f, frameRow);
    PutTrendRow(s, index, f, start, last);
}

void TidyHdf5Export::PutPoints(Station& s, int64_t index, const TFonKadr& f, int64_t start, int points)
{
    int64_t times[kFonPoints];
    frames::PointTimesNs(f, points, zone_, times);
    int64_t before = start;
    for (int k = 1; k <= points; ++k) {
        char* row = s.points->NextFullRow();
        const int64_t time = times[k - 1];
        s.points->PutAs<int64_t>(row, 0, time);
        s.points->PutAs<int16_t>(row, 1, f.KadrNo);
        s.points->PutAs<int16_t>(row, 2, static_cast<int16_t>(k));
        for (int c = 1; c <= kFonChannels; ++c)
            s.points->PutAs<int32_t>(row, 2 + c, f.Counts(c)[k - 1]);
        s.points->PutAs<double>(row, 7, frames::kPointLiveSeconds);
        s.points->PutAs<double>(row, 8, frames::WallSeconds(before, time));
        s.points->PutAs<int32_t>(row, 9, fileId_);
        s.points->PutAs<int64_t>(row, 10, index);
        before = time;
    }
}

void TidyHdf5Export::PutFrameRow(Station& s, int64_t index, const TFonKadr& f, int64_t start, int points, int end)
{
    char* row = s.frames->NextRow();
    s.frames->Put(row, 0, start);
    s.frames->Put(row, 1, f.KadrNo);
    s.frames->Put(row, 2, points);
    s.frames->Put(row, 3, end);
    const int16_t limits[] = {f.Limit1, f.Limit2, f.Limit3, f.Limit4};
    const int16_t gains[] = {f.FGain1, f.FGain2, f.FGain3, f.FGain4};
    for (int c = 0; c < kFonChannels; ++c) {
        s.frames->Put(row, 4 + c, limits[c]);
        s.frames->Put(row, 8 + c, gains[c]);
    }
    s.frames->Put(row, 12, f.Rate);
    s.frames->Put(row, 13, fileId_);
    s.frames->Put(row, 14, index);
}

void TidyHdf5Export::PutSpectra(Station& s, const TFonKadr& f, int64_t frameRow)
{
    for (int c = 1; c <= kFonChannels; ++c)
        for (int bin = 1; bin <= kFonBins; ++bin) {
            char* r = s.spectra->NextFullRow();
            s.spectra->PutAs<int16_t>(r, 0, f.KadrNo);
            s.spectra->PutAs<int16_t>(r, 1, static_cast<int16_t>(c));
            s.spectra->PutAs<int16_t>(r, 2, static_cast<int16_t>(bin));
            s.spectra->PutAs<int16_t>(r, 3, f.Spectr(c)[bin - 1]);
            s.spectra->PutAs<int64_t>(r, 4, frameRow);
        }
}

void TidyHdf5Export::PutTrendRow(Station& s, int64_t index, const TFonKadr& f, int64_t start, bool last)
{
    // Health numbers, the point durations in the station's zone.
    const frames::FrameNumbers n = frames::ComputeFrameNumbers(f, last, &zone_);
    const double nan = std::nan("");
    char* t = s.trend->NextRow();
    s.trend->Put(t, 0, start);
    s.trend->Put(t, 1, f.KadrNo);
    s.trend->Put(t, 2, n.Points);
    const double live = frames::LiveSeconds(n.Points);
    s.trend->Put(t, 3, live);
    for (int c = 0; c < kFonChannels; ++c) {
        const frames::ChannelNumbers& ch = n.Channels[c];
        s.trend->Put(t, 4 + c, ch.MeanPerPoint);
        s.trend->Put(t, 8 + c, ch.MeanPerS);
        s.trend->Put(t, 12 + c, ch.HasCentre() ? double(ch.Centre) : nan);
        s.trend->Put(t, 16 + c, ch.HasB() ? double(ch.B) : nan);
        s.trend->Put(t, 20 + c, frames::MeanPerLiveSecond(ch.MeanPerPoint * n.Points, live));
    }
    s.trend->Put(t, 24, fileId_);
    s.trend->Put(t, 25, index);
}

void TidyHdf5Export::Event(const SourceFile&, int64_t index, const TRadKadr& e)
{
    Station& s = *current_;
    const int64_t ns = zone_.UtcNs(frames::EventStampOf(e));
    if (ns != frames::kNoStampNs)
        s.times.push_back(coinc::Event{ns, fileId_, static_cast<int32_t>(index + 1)});
    char* row = s.events->NextRow();
    s.events->Put(row, 0, ns);
    s.events->Put(row, 1, e.EventNo);
    for (int c = 1; c <= kRadChannels; ++c) {
        s.events->Put(row, 1 + c, const_cast<TRadKadr&>(e).RGain(c));
        s.events->Put(row, 7 + c, Peak(e.Samples(c)));
    }
    s.events->Put(row, 14, fileId_);
    s.events->Put(row, 15, index);
    std::memcpy(s.samples->NextRawRow(), e.Samples1, sizeof(int16_t) * kRadChannels * kRadSamples);
}

void TidyHdf5Export::Close()
{
    stations_.clear();
    current_ = nullptr;
}

void TidyHdf5Export::Finish()
{
    for (auto& [id, s] : stations_) {
        for (PandasTable* t : {s.files.get(), s.points.get(), s.frames.get(), s.spectra.get(), s.events.get(),
                               s.trend.get()})
            t->Finish();
        s.samples->Flush();
    }
    if (stations_.size() >= 2 && settings_.windowNs > 0) {
        std::vector<coinc::StationEvents> events;
        for (auto& [id, s] : stations_)
            events.push_back({id, std::move(s.times)});
        coincidences_ = static_cast<int64_t>(WriteCoincidenceTables(file_, std::move(events), settings_.windowNs,
                                                                    settings_.level));
    }
    Close();
    CommitHdf5Part(file_, part_, path_, settings_.force);
}

void TidyHdf5Export::Abandon()
{
    if (file_ < 0)
        return;
    Close();
    AbandonHdf5Part(file_, part_);
}

} // namespace dataexport
