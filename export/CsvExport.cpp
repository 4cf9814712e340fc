#include "export/CsvExport.h"

#include <cerrno>
#include <sys/stat.h>

#include "datafiles/FileProblemText.h"
#include "datafiles/FrameEnd.h"
#include "frames/FrameStamp.h"

namespace dataexport {
namespace {

constexpr size_t kFlushBytes = 1 << 20;

const char* const kFonTables[] = {".frames.csv", ".points.csv", ".spectra.csv"};
const char* const kRadTables[] = {".events.csv", ".samples.csv"};

const char* const kFonHeaders[] = {
    "file,record,frame,start,start_ns [ns],rate [Hz],gain1,gain2,gain3,gain4,limit1 [ADC code],limit2 [ADC code],"
    "limit3 [ADC code],limit4 [ADC code],chanparam [ADC code],end_point",
    "file,record,frame,point,time,time_ns [ns],count1,count2,count3,count4,end",
    "file,record,frame,bin [ADC code],spectr1,spectr2,spectr3,spectr4",
};
const char* const kRadHeaders[] = {
    "file,record,event,time,time_ns [ns],gain1,gain2,gain3,gain4,gain5,gain6",
    "file,record,event,sample,ch1 [ADC code],ch2 [ADC code],ch3 [ADC code],ch4 [ADC code],ch5 [ADC code],"
    "ch6 [ADC code]",
};

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// `dir`/`name` with one slash between them, whether `dir` ends in one or not.
std::string InFolder(const std::string& dir, const std::string& name)
{
    if (dir.empty() || dir.back() == '/')
        return dir + name;
    return dir + "/" + name;
}

} // namespace

std::string CsvFolderProblem(const std::string& dir)
{
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        return datafiles::About(dir, "уже есть и это не папка");
    return {};
}

CsvExport::CsvExport(std::string dir, bool force, const frames::StationZone& zone)
    : dir_(std::move(dir)), force_(force), zone_(zone)
{
}

void CsvExport::Time(datafiles::CsvText& t, const frames::FrameStamp& s) const
{
    const int64_t ns = zone_.UtcNs(s);
    t.Text(zone_.IsoText(ns));
    if (ns == frames::kNoTimeNs)
        t.Empty();
    else
        t.Int(ns);
}

CsvExport::~CsvExport() = default;

std::vector<std::string> CsvExport::OutputNames(const std::string& dir, const std::string& input, RecordKind kind)
{
    std::vector<std::string> names;
    const std::string stem = InFolder(dir, BaseName(input));
    if (kind == RecordKind::Fon)
        for (const char* t : kFonTables)
            names.push_back(stem + t);
    if (kind == RecordKind::Rad)
        for (const char* t : kRadTables)
            names.push_back(stem + t);
    return names;
}

std::string CsvExport::BeginFile(const SourceFile& file)
{
    const std::vector<std::string> names = OutputNames(dir_, file.path, file.kind);
    for (const std::string& n : names) {
        if (taken_.count(n))
            return datafiles::About(n, "уже записан из прежнего входного файла с тем же именем; этот пропущен");
        if (std::string why = datafiles::RefusalToWrite(n, force_); !why.empty())
            return why + "; входной файл пропущен";
    }
    if (!dirReady_) {
        if (::mkdir(dir_.c_str(), 0777) != 0 && errno != EEXIST)
            throw OutputError(datafiles::About(dir_, "папка не создаётся: " + datafiles::ErrnoText(errno)));
        dirReady_ = true;
    }
    tables_.clear();
    tables_.resize(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        taken_.insert(names[i]);
        tables_[i].file = std::make_unique<datafiles::OutputFile>(names[i], force_);
        tables_[i].file->Write(file.kind == RecordKind::Fon ? kFonHeaders[i] : kRadHeaders[i]);
        tables_[i].file->Write("\r\n");
    }
    return {};
}

datafiles::CsvText& CsvExport::Row(Table& t, const SourceFile& file, int64_t index, int number)
{
    return t.text.Text(file.path).Int(index).Int(number);
}

void CsvExport::Flush(Table& t, bool always)
{
    if (!always && t.text.size() < kFlushBytes)
        return;
    t.file->Write(t.text.str());
    t.text.clear();
}

void CsvExport::Frame(const SourceFile& file, int64_t index, const TFonKadr& f)
{
    const int end = StopPoint(f, index == file.records - 1);
    Table& frames = tables_[0];
    datafiles::CsvText& h = Row(frames, file, index, f.KadrNo);
    Time(h, frames::StampOf(f));
    h.Int(f.Rate);
    for (int16_t v : {f.FGain1, f.FGain2, f.FGain3, f.FGain4, f.Limit1, f.Limit2, f.Limit3, f.Limit4, f.ChanParam})
        h.Int(v);
    h.Int(end).EndLine();

    Table& points = tables_[1];
    const int last = end > 0 ? end : kFonPoints;
    for (int k = 1; k <= last; ++k) {
        Time(Row(points, file, index, f.KadrNo).Int(k), frames::PointStampOf(f, k));
        for (int c = 1; c <= kFonChannels; ++c)
            points.text.Int(f.Counts(c)[k - 1]);
        points.text.Int(k == end ? 1 : 0).EndLine();
    }

    Table& spectra = tables_[2];
    for (int bin = 1; bin <= kFonBins; ++bin) {
        Row(spectra, file, index, f.KadrNo).Int(bin);
        for (int c = 1; c <= kFonChannels; ++c)
            spectra.text.Int(f.Spectr(c)[bin - 1]);
        spectra.text.EndLine();
    }
    for (Table& t : tables_)
        Flush(t, false);
}

void CsvExport::Event(const SourceFile& file, int64_t index, const TRadKadr& e)
{
    Table& events = tables_[0];
    Time(Row(events, file, index, e.EventNo), frames::EventStampOf(e));
    for (int16_t g : {e.RGain1, e.RGain2, e.RGain3, e.RGain4, e.RGain5, e.RGain6})
        events.text.Int(g);
    events.text.EndLine();

    Table& samples = tables_[1];
    for (int i = 1; i <= kRadSamples; ++i) {
        Row(samples, file, index, e.EventNo).Int(i);
        for (int c = 1; c <= kRadChannels; ++c)
            samples.text.Int(e.Samples(c)[i - 1]);
        samples.text.EndLine();
    }
    for (Table& t : tables_)
        Flush(t, false);
}

void CsvExport::EndFile(const SourceFile&)
{
    for (Table& t : tables_) {
        Flush(t, true);
        t.file->Commit();
    }
    tables_.clear();
}

void CsvExport::Abandon() { tables_.clear(); }

} // namespace dataexport
