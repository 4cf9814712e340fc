#pragma once
// CSV lines as RFC 4180 has them: fields separated by commas, lines ended
// by CRLF, a field quoted when it holds a comma, a quote or a line break
// (quotes inside doubled). Numbers are written with '.' and no grouping,
// whatever the locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace dataexport {

/// Builds CSV text into a string, field by field.
class CsvText {
public:
    /// A whole number.
    CsvText& Int(int64_t v);
    /// A text, quoted when needed.
    CsvText& Text(std::string_view s);
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

} // namespace dataexport
