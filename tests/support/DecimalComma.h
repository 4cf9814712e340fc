#pragma once
// A locale whose decimal separator is a comma and whose numbers are grouped
// (ru_RU.UTF-8), built once with localedef into a temporary directory, so
// the tests do not depend on the locales a machine has generated.
#include <clocale>
#include <locale>
#include <string>

namespace testing_support {

/// While alive, the C locale and the global C++ locale are ru_RU.UTF-8.
class DecimalCommaLocale {
public:
    DecimalCommaLocale();
    ~DecimalCommaLocale();
    /// Whether the locale could be built and set; why not otherwise.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

private:
    std::string oldC_, error_;
    std::locale oldCxx_;
};

} // namespace testing_support
