#include "datafiles/CsvText.h"

#include <charconv>
#include <cmath>

namespace datafiles {
namespace {

template <class T>
void Append(std::string& out, T v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

} // namespace

void CsvText::Separator()
{
    if (!first_)
        out_ += ',';
    first_ = false;
}

CsvText& CsvText::Int(int64_t v)
{
    Separator();
    Append(out_, v);
    return *this;
}

CsvText& CsvText::Number(double v)
{
    Separator();
    if (!std::isnan(v))
        Append(out_, v);
    return *this;
}

CsvText& CsvText::Number(float v)
{
    Separator();
    if (!std::isnan(v))
        Append(out_, v);
    return *this;
}

CsvText& CsvText::Text(std::string_view s)
{
    Separator();
    if (s.find_first_of(",\"\r\n") == std::string_view::npos) {
        out_ += s;
        return *this;
    }
    out_ += '"';
    for (char c : s) {
        if (c == '"')
            out_ += '"';
        out_ += c;
    }
    out_ += '"';
    return *this;
}

CsvText& CsvText::Empty()
{
    Separator();
    return *this;
}

void CsvText::EndLine()
{
    out_ += "\r\n";
    first_ = true;
}

} // namespace datafiles
