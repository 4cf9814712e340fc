#include "export/CsvText.h"

#include <charconv>

namespace dataexport {

void CsvText::Separator()
{
    if (!first_)
        out_ += ',';
    first_ = false;
}

CsvText& CsvText::Int(int64_t v)
{
    Separator();
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out_.append(buf, r.ptr);
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

void CsvText::EndLine()
{
    out_ += "\r\n";
    first_ = true;
}

} // namespace dataexport
