#include "export/FileWalk.h"

#include <memory>
#include <sys/stat.h>

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
        log << path << ": " << what << "\n";
    };

    WalkSummary s;
    auto buf = std::make_unique<Buffers>();
    try {
        for (const std::string& path : paths) {
            const RecordKind kind = KindOfPath(path);
            RecordSource src(path, kind);
            if (!src.ok()) {
                say(path, src.error() + "; skipped");
                ++s.skippedFiles;
                continue;
            }
            const SourceFile file{path, kind, src.records()};
            std::vector<RecordSink*> taking;
            for (RecordSink* sink : sinks) {
                const std::string refused = sink->BeginFile(file);
                if (refused.empty())
                    taking.push_back(sink);
                else
                    say(path, refused);
            }
            if (taking.size() < sinks.size())
                ++s.skippedFiles;
            if (taking.empty())
                continue;
            ++s.files;
            void* record = kind == RecordKind::Fon ? static_cast<void*>(&buf->fon) : static_cast<void*>(&buf->rad);
            const int64_t size = static_cast<int64_t>(RecordSize(kind));
            for (int64_t i = 0; src.Next(record); ++i) {
                for (RecordSink* sink : taking) {
                    if (kind == RecordKind::Fon)
                        sink->Frame(file, i, buf->fon);
                    else
                        sink->Event(file, i, buf->rad);
                }
                (kind == RecordKind::Fon ? s.frames : s.events) += 1;
                s.bytes += size;
                progress.Add(size);
            }
            for (RecordSink* sink : taking)
                sink->EndFile(file);
            if (!src.error().empty()) {
                say(path, "read error (" + src.error() + "); records before it exported, the rest skipped");
                ++s.readFaults;
            } else if (src.tailBytes() > 0) {
                say(path, "torn tail of " + std::to_string(src.tailBytes()) + " bytes after " +
                              std::to_string(src.records()) + " whole records; the whole records exported");
                ++s.tornTails;
            }
        }
        for (RecordSink* sink : sinks)
            sink->Finish();
    } catch (const OutputError& e) {
        progress.Clear();
        log << "output failed: " << e.what() << "; export stopped, nothing half-written kept\n";
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
    log << "exported " + to_string(s.frames) + " frames and " + to_string(s.events) + " events from " +
               to_string(s.files) + " files, " + OneDecimal(mb) + " MB in " + OneDecimal(s.seconds) + " s (" +
               OneDecimal(s.seconds > 0 ? mb / s.seconds : 0) + " MB/s)\n";
    if (s.SomethingSkipped())
        log << "skipped: " + to_string(s.skippedFiles) + " files, " + to_string(s.tornTails) + " torn tails, " +
                   to_string(s.readFaults) + " files with a read error\n";
}

} // namespace dataexport
