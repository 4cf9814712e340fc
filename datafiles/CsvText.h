#pragma once
// The one writer of CSV text, as RFC 4180 has it: fields separated by
// commas, lines ended by CRLF, a field quoted when it holds a comma, a quote
// or a line break (quotes inside doubled). Numbers are written with '.' and
// no grouping, whatever the locale; a number that is not one (NaN) is an
// empty field.
#include <cstdint>
#include <string>
#include <string_view>

namespace datafiles {

/// Builds CSV text into a string, field by field.
class CsvText {
public:
    /// A whole number.
    CsvText& Int(int64_t v);
    /// The shortest text that reads back as `v`; empty for NaN.
    CsvText& Number(double v);
    /// The shortest text that reads back as `v` in single precision; empty for NaN.
    CsvText& Number(float v);
    /// A text, quoted when needed.
    CsvText& Text(std::string_view s);
    /// An empty field.
    CsvText& Empty();
    /// Ends the line.
    void EndLine();

    const std::string& str() const { return out_; }
    size_t size() const { return out_.size(); }
    void clear() { out_.clear(); first_ = true; }

private:
    void Separator();
    std::string out_;
    bool first_ = true;
};

} // namespace datafiles
