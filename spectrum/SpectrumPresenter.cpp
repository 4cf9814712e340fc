#include "spectrum/SpectrumPresenter.h"

#include <algorithm>

#include "spectrum/SpectrumTexts.h"

namespace spectrum {

IntegralView PresentIntegral(std::span<const int16_t, kFonBins> spectr, const frames::IntegralResult& r)
{
    IntegralView v;
    v.Error = SpectrumFaultText(r.Fault);
    if (!r.HasIntegral())
        return v;
    v.Memo.reserve(kFonBins);
    for (int32_t bin = 1; bin <= kFonBins; ++bin)
        v.Memo.append(IntegralMemoLine(bin, spectr[bin - 1], r.Integr[bin - 1]));
    v.Bars.reserve(kFonBins - 1);
    for (int32_t bin = 1; bin <= kFonBins - 1; ++bin)
        v.Bars.push_back({bin, r.Integr[bin - 1], kBarSilver});
    if (r.Ok()) {
        v.Line = {QPointF(r.I1, frames::FitLineY(r.I1, r.a, r.b)), QPointF(r.I2, frames::FitLineY(r.I2, r.a, r.b))};
        v.Label = FitLabelText(r.a, r.b);
    }
    return v;
}

CentreView PresentCentre(const frames::CentreResult& r)
{
    CentreView v;
    v.Error = SpectrumFaultText(r.Fault);
    if (!r.Smoothed())
        return v;
    const auto smooth = [&r](int32_t bin) { return r.Smooth[bin - 1]; };
    const int32_t firstEnd = std::min(r.IMax + r.D, kFonBins);
    for (int32_t bin = r.Lo; bin <= firstEnd; ++bin)
        v.Bars.push_back({bin, smooth(bin), kBarSilver});
    if (!r.Ok())
        return v;
    for (int32_t bin = r.Lo; bin <= r.Hi; ++bin) {
        const bool inRegion = r.Left <= bin && bin < r.Right;
        v.Bars.push_back({bin, smooth(bin), inRegion ? kBarGreen : kBarSilver});
    }
    v.Label = QString::number(r.Centre);
    return v;
}

} // namespace spectrum
