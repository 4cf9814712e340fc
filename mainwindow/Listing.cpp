#include "mainwindow/Listing.h"

#include <algorithm>
#include <charconv>
#include <string>

namespace {

// Appends v right-aligned in `width` characters (wider numbers in full).
void AppendNum(std::string& out, int64_t v, int width)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    const int len = static_cast<int>(res.ptr - buf);
    if (len < width)
        out.append(static_cast<size_t>(width - len), ' ');
    out.append(buf, res.ptr);
}

// The 12-character time field of a background line.
void AppendTimeField(std::string& out, const TPointTime& t)
{
    std::string field;
    field.reserve(24);
    AppendNum(field, t.Hour, 2);
    field += ':';
    AppendNum(field, t.Min, 2);
    field += ':';
    AppendNum(field, t.Sec, 2);
    field += ':';
    AppendNum(field, t.MSec, 3);
    if (field.size() > 12)
        field.resize(12);
    out += field;
}

void AppendFonLine(std::string& out, int32_t k, const TPointTime& t, int32_t c1, int32_t c2, int32_t c3,
                   int32_t c4)
{
    AppendNum(out, k, 3);
    out += "/ ";
    AppendTimeField(out, t);
    AppendNum(out, c1, 5);
    AppendNum(out, c2, 5);
    AppendNum(out, c3, 5);
    AppendNum(out, c4, 5);
}

void AppendRadLine(std::string& out, int32_t i, const std::array<int16_t, kRadChannels>& codes)
{
    AppendNum(out, i, 4);
    out += "/ ";
    for (int16_t c : codes)
        AppendNum(out, c, 5);
}

} // namespace

QString FonListingHeader()
{
    return QStringLiteral(" N     Время        1    2    3    4");
}

QString FonListingLine(int32_t k, const TPointTime& t, int32_t c1, int32_t c2, int32_t c3, int32_t c4)
{
    std::string line;
    AppendFonLine(line, k, t, c1, c2, c3, c4);
    return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

QString FonListingText(std::span<const TPointTime, kFonPoints> times,
                       std::span<const int32_t, kFonPoints> c1, std::span<const int32_t, kFonPoints> c2,
                       std::span<const int32_t, kFonPoints> c3, std::span<const int32_t, kFonPoints> c4)
{
    std::string body;
    body.reserve(kFonPoints * 40);
    for (int k = 1; k <= kFonPoints; ++k) {
        body += '\n';
        const int i = k - 1;
        AppendFonLine(body, k, times[i], c1[i], c2[i], c3[i], c4[i]);
    }
    return FonListingHeader() + QLatin1Char('\n')
         + QString::fromLatin1(body.data(), static_cast<qsizetype>(body.size()));
}

QStringList FonListingLegend()
{
    return {
        QStringLiteral("1 канал - 2 м*м (красный)"),
        QStringLiteral("2 канал - мюонный детектор (синий)"),
        QStringLiteral("3 канал - четвертушка (зеленый)"),
        QStringLiteral("4 канал - кастрюля I (оранжевый)"),
    };
}

QString RadListingHeader()
{
    return QStringLiteral("  N       1    2    3    4    5    6 ");
}

QString RadListingLine(int32_t i, const std::array<int16_t, kRadChannels>& codes)
{
    std::string line;
    AppendRadLine(line, i, codes);
    return QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
}

QString RadListingText(const std::array<std::span<const int16_t>, kRadChannels>& channels)
{
    size_t n = channels[0].size();
    for (const auto& ch : channels)
        n = std::min(n, ch.size());
    std::string body;
    body.reserve(n * 38 + 64);
    body += RadListingHeader().toStdString();
    body += '\n';
    std::array<int16_t, kRadChannels> codes{};
    for (size_t i = 0; i < n; ++i) {
        for (int c = 0; c < kRadChannels; ++c)
            codes[c] = channels[c][i];
        body += '\n';
        AppendRadLine(body, static_cast<int32_t>(i + 1), codes);
    }
    return QString::fromLatin1(body.data(), static_cast<qsizetype>(body.size()));
}

QString PointTimeText(uint16_t hour, uint16_t min, uint16_t sec)
{
    std::string s;
    AppendNum(s, hour, 2);
    s += ':';
    AppendNum(s, min, 2);
    s += ':';
    AppendNum(s, sec, 2);
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString DateText(int32_t day, int32_t month, int32_t year)
{
    return QStringLiteral("%1-%2-%3").arg(day).arg(month).arg(year);
}

QString TimeText(int32_t hour, int32_t min, int32_t sec)
{
    return QStringLiteral("%1:%2:%3").arg(hour).arg(min).arg(sec);
}
