#include "platform/CliErrorText.h"

#include <cstdlib>
#include <regex>

namespace rt {
namespace {

/// The parts of `text` that `pattern` captures, or nothing.
bool Match(const std::string& text, const char* pattern, std::smatch& m)
{
    return std::regex_match(text, m, std::regex(pattern));
}

/// Unknown options and stray arguments, named one by one.
std::string ExtrasText(const std::vector<std::string>& extras)
{
    std::string out;
    for (const std::string& a : extras) {
        if (!out.empty())
            out += "; ";
        out += (a.size() > 1 && a[0] == '-') ? "неизвестный параметр " + a : "лишний аргумент «" + a + "»";
    }
    return out;
}

/// "ровно N значение/значения/значений".
std::string Values(const std::string& n)
{
    const long v = std::strtol(n.c_str(), nullptr, 10);
    const long d = v % 10, h = v % 100;
    const char* word = (d == 1 && h != 11) ? "значение" : (d >= 2 && d <= 4 && (h < 12 || h > 14)) ? "значения" : "значений";
    return n + " " + word;
}

/// "не меньше N значения/значений".
std::string ValuesAfterBound(const std::string& n)
{
    const long v = std::strtol(n.c_str(), nullptr, 10);
    return n + ((v % 10 == 1 && v % 100 != 11) ? " значения" : " значений");
}

} // namespace

std::string CliErrorText(const CLI::App& app, const CLI::ParseError& e)
{
    if (const std::vector<std::string> extras = app.remaining(); !extras.empty())
        return ExtrasText(extras);
    const std::string what = e.what();
    std::smatch m;
    if (Match(what, R"((\S+) is required)", m))
        return "не задан обязательный параметр " + m[1].str();
    if (Match(what, R"((\S+) requires (\S+))", m))
        return m[1].str() + " задаётся только вместе с " + m[2].str();
    if (Match(what, R"((\S+) excludes (\S+))", m))
        return m[1].str() + " нельзя задавать вместе с " + m[2].str();
    if (Match(what, R"((\S+): At least (\d+) required but received (\d+))", m))
        return m[1].str() + ": нужно не меньше " + ValuesAfterBound(m[2]) + ", задано " + m[3].str();
    if (Match(what, R"((\S+): At Most (\d+) required but received (\d+))", m))
        return m[1].str() + ": нужно не больше " + ValuesAfterBound(m[2]) + ", задано " + m[3].str();
    if (Match(what, R"(Expected exactly (\d+) arguments to (\S+), got (\d+))", m))
        return m[2].str() + ": нужно ровно " + Values(m[1]) + ", задано " + m[3].str();
    if (Match(what, R"(Expected at least (\d+) arguments to (\S+), got (\d+))", m))
        return m[2].str() + ": нужно не меньше " + ValuesAfterBound(m[1]) + ", задано " + m[3].str();
    if (Match(what, R"((\S+): \d+ required .* missing)", m))
        return m[1].str() + ": не задано значение";
    if (Match(what, R"(Could not convert: (\S+) = (.*))", m))
        return m[1].str() + ": «" + m[2].str() + "» не подходит";
    if (Match(what, R"((\S+): too many inputs for a flag)", m) || Match(what, R"((\S+): Should be true/false.*)", m) ||
        Match(what, R"((\S+) was given a disallowed flag override)", m))
        return m[1].str() + ": этот параметр не принимает значения";
    if (Match(what, R"(The following arguments? (?:was|were) not expected: (.*))", m))
        return "неизвестные аргументы: " + m[1].str();
    if (dynamic_cast<const CLI::ValidationError*>(&e))
        return what; // "--option: " and the program's own words of its check
    return "командная строка не понята";
}

} // namespace rt
