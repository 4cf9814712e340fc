#pragma once
// One run of vfon-export: the sinks the options ask for, the walk over the
// inputs, the summary and the exit code.
//
// A new command (say --trend OUT.csv) is three steps: a field and an option
// in ExportOptions (AddOptions, AnyCommand), a RecordSink that turns records
// into its output (an OutputFile gives the write-then-rename and the
// no-overwrite rule), and one line in RunExport that adds the sink. The walk,
// progress, input checks, summary and exit code come with it.
#include <ostream>

#include "export/ExportOptions.h"

namespace dataexport {

/// Runs the export `o` describes; messages go to `log`. Returns the exit code.
int RunExport(const ExportOptions& o, std::ostream& log);

} // namespace dataexport
