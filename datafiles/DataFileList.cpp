#include "datafiles/DataFileList.h"

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <memory>

namespace datafiles {
namespace {

bool EndsWithIgnoringCase(const std::string& name, const std::string& suffix)
{
    if (name.size() < suffix.size())
        return false;
    return std::equal(suffix.begin(), suffix.end(), name.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                      });
}

} // namespace

QString ShownName(const std::string& name)
{
    const QByteArray bytes = QByteArray::fromStdString(name);
    const QString decoded = QString::fromUtf8(bytes);
    if (decoded.toUtf8() == bytes)
        return decoded;
    QString shown;
    for (unsigned char c : name)
        shown += c < 0x80 ? QString(QChar(c)) : "\\x" + QString::number(c, 16).toUpper().rightJustified(2, '0');
    return shown;
}

std::vector<ListedFile> ListDataFiles(const std::string& suffix, const std::string& folder)
{
    std::vector<ListedFile> files;
    const std::string prefix = folder.empty() || folder == "." ? std::string()
                               : folder.back() == '/'         ? folder
                                                              : folder + "/";
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(prefix.empty() ? "." : prefix.c_str()), &::closedir);
    if (!dir)
        return files;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || !EndsWithIgnoringCase(name, suffix))
            continue;
        files.push_back({prefix + name, ShownName(name)});
    }
    std::sort(files.begin(), files.end(), [](const ListedFile& a, const ListedFile& b) { return a.Name < b.Name; });
    return files;
}

} // namespace datafiles
