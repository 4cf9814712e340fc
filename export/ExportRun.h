#pragma once
// One run of vfon-export: the sinks the options ask for, the walk over the
// inputs, the summary and the exit code.
#include <ostream>

#include "export/ExportOptions.h"

namespace dataexport {

/// Runs the export `o` describes; messages go to `log`. Returns the exit code.
int RunExport(const ExportOptions& o, std::ostream& log);

} // namespace dataexport
