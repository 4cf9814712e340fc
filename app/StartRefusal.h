#pragma once
// A window program that cannot start (its data folder cannot take the
// files, its publishing settings are wrong) says so where the operator looks:
// in a message box when there is a display, and always on stderr.
#include <QString>
#include <string>

namespace app {

/// Prints "vfon: <why>" on stderr and, for the window program on a
/// display, shows it in a message box until the operator closes it.
/// Returns the exit code of a refused start (kExitUsage).
int RefuseStart(bool headless, int& argc, char** argv, const std::string& why);

/// The refusal box of `why`, modal, shown until it is closed (needs a
/// QApplication).
void ShowStartRefusal(const QString& why);

} // namespace app
