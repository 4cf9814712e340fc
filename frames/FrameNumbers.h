#pragma once
// The numbers of one background frame that tell how a detector keeps: per
// channel the mean count per point over the filled points and per second of
// the points' duration, the centre of the
// spectrum's peak by the rule of "Усреднение" and the slope b of the
// integral spectrum's fit by the rule of "Интегральный", both with the bounds
// 10 and 225. The spectrum window's own functions do the spectrum work.
#include <array>
#include <cstdint>

#include "datafiles/FonKadr.h"
#include "frames/PeakCentre.h"
#include "frames/SpectrumFault.h"
#include "frames/FrameStamp.h"

namespace frames {

inline constexpr int32_t kTrendLo = 10;  ///< lower bin bound of the centre and the fit
inline constexpr int32_t kTrendHi = 225; ///< upper bin bound of the centre and the fit

/// The numbers of one channel of one frame.
struct ChannelNumbers {
    double MeanPerPoint = 0; ///< mean count per filled point; NaN when no point is filled
    int32_t Centre = 0; ///< centre bin of the peak; 0 when there is none
    SpectrumFault NoCentre = SpectrumFault::None; ///< why there is no centre, else None
    float B = 0;       ///< slope of the fitted line; NaN when there is none
    SpectrumFault NoB = SpectrumFault::None;      ///< why there is no slope, else None
    float CentreError = 0; ///< statistical error of Centre in bins (CentreError()); +inf when unknown
    double MeanPerS = 0;   ///< MeanPerPoint / the frame's PointSeconds; NaN when either is unknown

    bool HasCentre() const { return NoCentre == SpectrumFault::None; }
    bool HasB() const { return NoB == SpectrumFault::None; }
};

/// The numbers of one frame.
struct FrameNumbers {
    FrameStamp Start;   ///< the frame's start stamp
    int32_t Points = 0; ///< filled points, 0..600
    int32_t TimedPoint = 0; ///< the last filled point with a real time (PointStampOf), 0 when none
    FrameStamp TimedStamp;  ///< the stamp of TimedPoint
    double PointSeconds = 0; ///< seconds a point lasts (TimeFrameNumbers); NaN when unknown
    std::array<ChannelNumbers, kFonChannels> Channels; ///< channel c at [c-1]
};

/// The points that hold counts, 1..FilledPoints. The viewer's frame-end rule
/// (FrameEndPoint): in the last record of a file the first point whose four
/// counts are all 0 ends the recording (a run stopped mid-frame zeroes it and
/// all later points), so the points before it are filled; any other record
/// is a whole frame of 600 points, all-zero points in it being points
/// without pulses.
int32_t FilledPoints(const TFonKadr& k, bool lastRecord);

/// Statistical error, in bins, of the centre that PeakCentre found: the
/// large-sample standard error of a median, 1 / (2 f √N), with N the area of
/// the peak region and f the density at the centre (its smoothed count over
/// the area), which gives √Area / (2 · Smooth[Centre]). +inf when the
/// centre's bin or the area is empty: such a centre carries no weight.
float CentreError(const CentreResult& centre);

/// Seconds a point of a frame lasts: the time from the frame start
/// (`startNs`) to its last filled point with a time (`timedNs`, point
/// number `timedPoint`), shared out over the points up to it. NaN when a
/// time is unknown (kNoStampNs) or the span is not positive.
double PointSeconds(int64_t startNs, int64_t timedNs, int32_t timedPoint);

/// Sets PointSeconds of `n` and each channel's MeanPerS, the frame start and
/// TimedStamp read as instants in `zone`.
void TimeFrameNumbers(FrameNumbers& n, const StampZone& zone);

/// The numbers of frame `k`; `lastRecord` tells whether it is the last
/// record of its file. Point durations with the stamps read in `zone`, or
/// as UTC when it is null (TimeFrameNumbers again with the right zone
/// mends them). Centre: PeakCentre with the bounds 10 and 225.
/// Slope: IntegralSpectrum with the same bounds, on a fresh zeroed LogIntegr
/// for each channel (so no earlier frame leaks into the reference level of a
/// peak at the lower bound); none when it reports a fault or its fit range
/// holds fewer than two bins (SpectrumFault::ShortFit).
FrameNumbers ComputeFrameNumbers(const TFonKadr& k, bool lastRecord, const StampZone* zone = nullptr);

} // namespace frames
