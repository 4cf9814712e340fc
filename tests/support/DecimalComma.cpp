#include "support/DecimalComma.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

namespace testing_support {
namespace {

/// The directory holding the built locale, or an empty string.
const std::string& LocaleDir()
{
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string d = dir.path().toStdString();
        const std::string cmd = "localedef -i ru_RU -f UTF-8 " + d + "/ru_RU.UTF-8 >/dev/null 2>&1";
        return std::system(cmd.c_str()) == 0 ? d : std::string();
    }();
    return path;
}

} // namespace

DecimalCommaLocale::DecimalCommaLocale() : oldC_(std::setlocale(LC_ALL, nullptr))
{
    if (LocaleDir().empty()) {
        error_ = "localedef could not build ru_RU.UTF-8 (package locales)";
        return;
    }
    ::setenv("LOCPATH", LocaleDir().c_str(), 1);
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) {
        error_ = "setlocale(ru_RU.UTF-8) refused";
        return;
    }
    std::locale::global(std::locale("ru_RU.UTF-8"));
}

DecimalCommaLocale::~DecimalCommaLocale()
{
    std::locale::global(oldCxx_);
    std::setlocale(LC_ALL, oldC_.c_str());
    ::unsetenv("LOCPATH");
}

} // namespace testing_support
