#include "datafiles/DataFileList.h"

#include <QDir>

namespace datafiles {

QStringList ListDataFiles(const QString& pattern)
{
    const QDir dir(QDir::currentPath());
    return dir.entryList(QStringList{pattern},
                         QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace datafiles
