#include "spectrum/SpectrumTexts.h"

#include <algorithm>
#include <charconv>

namespace spectrum {

namespace {

// Appends v right-aligned in `width` characters (wider numbers in full).
void AppendNum(char*& out, int32_t v, int width)
{
    char buf[12];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    for (auto len = res.ptr - buf; len < width; ++len)
        *out++ = ' ';
    out = std::copy(buf, res.ptr, out);
}

} // namespace

QString SpectrumFaultText(frames::SpectrumFault fault)
{
    switch (fault) {
    case frames::SpectrumFault::None: return {};
    case frames::SpectrumFault::BoundsOutside: return QStringLiteral("Границы должны лежать в пределах 1…256");
    case frames::SpectrumFault::LowBelow5: return QStringLiteral("Нижняя граница должна быть не меньше 5");
    case frames::SpectrumFault::NoCounts: return QStringLiteral("Нет пика: в диапазоне нет отсчётов");
    case frames::SpectrumFault::TooFewBins: return QStringLiteral("Нет пика: между границами меньше 46 бинов");
    case frames::SpectrumFault::PeakAtBin1: return QStringLiteral("Пик в бине 1: поднимите нижнюю границу");
    case frames::SpectrumFault::NoFitRange:
        return QStringLiteral("Нет подгонки: от пика до верхней границы спектр ниже 80 % уровня");
    case frames::SpectrumFault::PeakNearEnd: return QStringLiteral("Пик слишком близко к концу спектра");
    case frames::SpectrumFault::NoLeftEdge: return QStringLiteral("Нет края пика на уровне 80 % слева");
    case frames::SpectrumFault::NoRightEdge: return QStringLiteral("Нет края пика на уровне 80 % справа");
    case frames::SpectrumFault::ShortFit: return QStringLiteral("Нет подгонки: в диапазоне подгонки меньше двух бинов");
    case frames::SpectrumFault::NotRecorded: return QStringLiteral("причина в таблице не записана");
    }
    return {};
}

QString IntegralMemoLine(int32_t bin, int32_t count, int32_t integr)
{
    char line[48];
    char* out = line;
    AppendNum(out, bin, 4);
    *out++ = ':';
    *out++ = ' ';
    AppendNum(out, count, 5);
    AppendNum(out, integr, 9);
    return QString::fromLatin1(line, out - line);
}

QString FitLabelText(float a, float b)
{
    return QStringLiteral("b = ") + QString::asprintf("%5.2f", static_cast<double>(b))
         + QStringLiteral("   ") + QStringLiteral("a = ") + QString::asprintf("%5.2f", static_cast<double>(a));
}

} // namespace spectrum
