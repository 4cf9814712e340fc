#include "export/FileWalk.h"

#include <memory>
#include <sys/stat.h>

#include "datafiles/FileProblemText.h"
#include "export/Progress.h"

namespace dataexport {
namespace {

/// Whole records of `path` by its size, for the progress total; 0 when it
/// is no regular data file (the walk reports it when it gets there).
int64_t PlannedRecords(const std::string& path)
{
    const size_t size = RecordSize(KindOfPath(path));
    struct stat st;
    if (size == 0 || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return 0;
    return st.st_size / static_cast<off_t>(size);
}

/// The record buffers: a radio record is 48 KB, too much for the stack.
struct Buffers {
    TFonKadr fon;
    TRadKadr rad;
};

/// The sinks that take `file`; each refusal is said.
template <class Say>
std::vector<RecordSink*> TakingSinks(const SourceFile& file, const std::vector<RecordSink*>& sinks, Say& say)
{
    std::vector<RecordSink*> taking;
    for (RecordSink* sink : sinks) {
        const std::string refused = sink->BeginFile(file);
        if (refused.empty())
            taking.push_back(sink);
        else
            say(file.path, refused);
    }
    return taking;
}

/// Hands every whole record of `src` to the sinks taking its file, and
/// counts it.
void FeedRecords(datafiles::RecordReader& src, const SourceFile& file, const std::vector<RecordSink*>& taking,
                 Buffers& buf, WalkSummary& s, Progress& progress)
{
    const RecordKind kind = file.kind;
    void* record = kind == RecordKind::Fon ? static_cast<void*>(&buf.fon) : static_cast<void*>(&buf.rad);
    const int64_t size = static_cast<int64_t>(RecordSize(kind));
    for (int64_t i = 0; src.Read(record, 1) == 1; ++i) {
        for (RecordSink* sink : taking) {
            if (kind == RecordKind::Fon)
                sink->Frame(file, i, buf.fon);
            else
                sink->Event(file, i, buf.rad);
        }
        (kind == RecordKind::Fon ? s.frames : s.events) += 1;
        s.bytes += size;
        progress.Add(size);
    }
}

} // namespace

WalkSummary WalkFiles(const std::vector<std::string>& paths, const std::vector<RecordSink*>& sinks,
                      const WalkOptions& options, std::ostream& log)
{
    int64_t total = 0;
    for (const std::string& p : paths)
        total += PlannedRecords(p);
    Progress progress(log, total, options.progress);
    auto say = [&](const std::string& path, const std::string& what) {
        progress.Clear();
        log << datafiles::About(path, what) << "\n";
    };

    WalkSummary s;
    auto buf = std::make_unique<Buffers>();
    try {
        for (const std::string& path : paths) {
            const RecordKind kind = KindOfPath(path);
            if (kind == RecordKind::Unknown) {
                say(path, datafiles::NotDataFileText());
                ++s.skippedFiles;
                continue;
            }
            datafiles::RecordReader src(path, RecordSize(kind));
            if (!src.ok()) {
                say(path, datafiles::ReadFaultText(src.state()));
                ++s.skippedFiles;
                continue;
            }
            const SourceFile file{path, kind, src.records()};
            const std::vector<RecordSink*> taking = TakingSinks(file, sinks, say);
            if (taking.size() < sinks.size())
                ++s.skippedFiles;
            if (taking.empty())
                continue;
            ++s.files;
            FeedRecords(src, file, taking, *buf, s, progress);
            for (RecordSink* sink : taking)
                sink->EndFile(file);
            if (!src.ok()) {
                say(path, datafiles::ReadFaultText(src.state()));
                ++s.readFaults;
            } else if (src.tailBytes() > 0) {
                say(path, datafiles::TornTailText(src.state()));
                ++s.tornTails;
            }
        }
        for (RecordSink* sink : sinks)
            sink->Finish();
    } catch (const OutputError& e) {
        progress.Clear();
        log << e.what() << "; выгрузка остановлена, недописанные файлы удалены\n";
        for (RecordSink* sink : sinks)
            sink->Abandon();
        s.outputFailed = true;
    }
    progress.Clear();
    s.seconds = progress.Seconds();
    return s;
}

void PrintSummary(const WalkSummary& s, std::ostream& log)
{
    // Numbers through to_string and OneDecimal: the log stream may carry a
    // locale with digit grouping.
    using std::to_string;
    const double mb = static_cast<double>(s.bytes) / 1e6;
    log << "выгружено кадров: " + to_string(s.frames) + ", событий: " + to_string(s.events) + " из файлов: " +
               to_string(s.files) + ", " + OneDecimal(mb) + " МБ за " + OneDecimal(s.seconds) + " с (" +
               OneDecimal(s.seconds > 0 ? mb / s.seconds : 0) + " МБ/с)\n";
    if (s.SomethingSkipped())
        log << "пропущено файлов: " + to_string(s.skippedFiles) + ", неполных последних записей: " +
                   to_string(s.tornTails) + ", файлов с ошибкой чтения: " + to_string(s.readFaults) + "\n";
}

} // namespace dataexport
