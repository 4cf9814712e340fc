#include "centre/CoincidenceFile.h"

#include <cstdlib>
#include <fstream>
#include <map>

#include "frames/FrameStamp.h"

namespace centre {
namespace {

/// The fields of a row split at commas (no field of this file holds one).
std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> f;
    size_t at = 0;
    for (size_t comma; (comma = line.find(',', at)) != std::string::npos; at = comma + 1)
        f.push_back(line.substr(at, comma - at));
    f.push_back(line.substr(at));
    return f;
}

bool ToInt(const std::string& text, int64_t& v)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    v = std::strtoll(text.c_str(), &end, 10);
    return *end == '\0';
}

/// Reads the whole rows of the file, calling `row` with each one's fields.
template <class Row>
void EachRow(const std::string& path, Row row)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line) && !in.eof()) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (const std::vector<std::string> f = Fields(line); f.size() == 9 && RowId(line))
            row(f);
    }
}

} // namespace

std::string CoincidenceRows(const KeptCoincidence& c)
{
    const std::string head = std::to_string(c.Id) + "," + frames::IsoWithOffset(c.FirstNs, 0) + ","
                             + std::to_string(c.FirstNs) + "," + std::to_string(c.N) + "," + c.Stations + ",";
    std::string rows;
    for (const KeptMember& m : c.Members)
        rows += head + m.Station + "," + m.File + "," + std::to_string(m.Record) + "," + std::to_string(m.DtNs) + "\n";
    return rows;
}

std::optional<int64_t> RowId(const std::string& line)
{
    int64_t id = 0;
    return ToInt(line.substr(0, line.find(',')), id) && id > 0 ? std::optional(id) : std::nullopt;
}

std::vector<KeptCoincidence> ReadCoincidences(const std::string& path)
{
    std::vector<KeptCoincidence> all;
    std::map<int64_t, size_t> at;
    EachRow(path, [&](const std::vector<std::string>& f) {
        int64_t id = 0, first = 0, n = 0, record = 0, dt = 0;
        if (!ToInt(f[0], id) || !ToInt(f[2], first) || !ToInt(f[3], n) || !ToInt(f[7], record) || !ToInt(f[8], dt))
            return;
        auto [it, fresh] = at.try_emplace(id, all.size());
        if (fresh)
            all.push_back(KeptCoincidence{id, first, static_cast<int>(n), f[4], {}});
        all[it->second].Members.push_back(KeptMember{f[5], f[6], record, dt});
    });
    return all;
}

std::optional<KeptCoincidence> FindCoincidence(const std::string& path, int64_t id)
{
    std::optional<KeptCoincidence> found;
    EachRow(path, [&](const std::vector<std::string>& f) {
        int64_t rowId = 0, first = 0, n = 0, record = 0, dt = 0;
        if (!ToInt(f[0], rowId) || rowId != id || !ToInt(f[2], first) || !ToInt(f[3], n) || !ToInt(f[7], record)
            || !ToInt(f[8], dt))
            return;
        if (!found)
            found = KeptCoincidence{id, first, static_cast<int>(n), f[4], {}};
        found->Members.push_back(KeptMember{f[5], f[6], record, dt});
    });
    return found;
}

} // namespace centre
