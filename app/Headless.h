#pragma once
// The headless recorder: the run model on the driver of the hive, without a
// window, writing its files into the data folder (--data-dir, else the
// current one) and a progress line a second on a terminal, a minute
// otherwise (--progress-interval); telling systemd its state when run as a
// notify service; stopped by --seconds or by SIGINT, SIGTERM or SIGHUP,
// always through the stop branch, so the unfinished frame is written.
#include "app/Options.h"

namespace app {

/// Runs a headless recording in the running QCoreApplication's event loop.
/// Returns the exit code: 0 when every record is on disk (in its own file
/// or a rescue file named on stderr), 2 when a record is lost, 1 when the run
/// could not start or stopped by a driver error; the same at a stop and mid-run.
int RunHeadless(const Options& o);

} // namespace app
