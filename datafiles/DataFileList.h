#pragma once
// The data files of the working directory that the viewer lists.
#include <QString>
#include <QStringList>

namespace datafiles {

/// Names (without directory) of the entries of the current directory that
/// match `pattern` ("*.fon", "*.Rad"). Entries of any attribute are admitted,
/// directories, hidden and system entries included; the match ignores case,
/// as the platform's file search does. The names come sorted by name, so the
/// list is the same at every search. Every match is returned, in full.
QStringList ListDataFiles(const QString& pattern);

} // namespace datafiles
