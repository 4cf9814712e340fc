#include "export/ExportRun.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

#include "export/CsvExport.h"
#include "export/FileWalk.h"
#include "export/Hdf5Export.h"
#include "export/OutputFile.h"

namespace dataexport {
namespace {

/// Makes `dir` if it is missing; the reason when it is no usable directory.
std::string PrepareDirectory(const std::string& dir)
{
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? std::string() : dir + " exists and is not a directory";
    if (::mkdir(dir.c_str(), 0777) != 0)
        return dir + ": " + std::strerror(errno);
    return {};
}

} // namespace

int RunExport(const ExportOptions& o, std::ostream& log)
{
    if (!o.AnyCommand()) {
        log << "nothing to do: give --csv DIR and/or --hdf5 OUT.h5 (see --help)\n";
        return kExitFailed;
    }
    // Each command is one sink; a new command adds its sink here.
    std::vector<std::unique_ptr<RecordSink>> owned;
    try {
        if (!o.hdf5Out.empty()) {
            if (std::string why = RefusalToWrite(o.hdf5Out, o.force); !why.empty()) {
                log << why << "; nothing written\n";
                return kExitFailed;
            }
            owned.push_back(std::make_unique<Hdf5Export>(o.hdf5Out, o.files, o.level));
        }
        if (!o.csvDir.empty()) {
            if (std::string why = PrepareDirectory(o.csvDir); !why.empty()) {
                log << why << "; nothing written\n";
                return kExitFailed;
            }
            owned.push_back(std::make_unique<CsvExport>(o.csvDir, o.force));
        }
    } catch (const OutputError& e) {
        log << e.what() << "; nothing written\n";
        return kExitFailed;
    }
    std::vector<RecordSink*> sinks;
    for (auto& s : owned)
        sinks.push_back(s.get());

    const WalkSummary summary = WalkFiles(o.files, sinks, WalkOptions{!o.quiet}, log);
    PrintSummary(summary, log);
    if (summary.outputFailed)
        return kExitFailed;
    return summary.SomethingSkipped() ? kExitSkipped : kExitDone;
}

} // namespace dataexport
