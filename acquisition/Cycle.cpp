#include "acquisition/Cycle.h"

#include <QString>
#include <algorithm>
#include <climits>
#include <span>

#include "datafiles/PulseSearch.h"
#include "driver/ADC_Errors.h"
#include "platform/RunError.h"

namespace acq {
namespace {

/// Longest sleep between two ticks: the radio board is asked at least this often.
constexpr int64_t kRadioPollNs = 10'000'000;
/// Re-polls of a board whose data are overdue: a tenth of the delay, within these.
constexpr int64_t kShortestRepollNs = 20'000;
constexpr int64_t kLongestRepollNs = 1'000'000;

/// Puts the moment into a record's date and time fields (both records have
/// the same eight).
template <class Record>
void Stamp(Record& r, const rt::DateTimeParts& t)
{
    r.Year = t.Year;
    r.Month = t.Month;
    r.Day = t.Day;
    r.DayOfWeek = t.DayOfWeek;
    r.Hour = t.Hour;
    r.Min = t.Min;
    r.Sec = t.Sec;
    r.MSec = t.MSec;
}

int64_t RepollDelay(int64_t overdueNs)
{
    return std::clamp(overdueNs / 10, kShortestRepollNs, kLongestRepollNs);
}

} // namespace

TPointTime PointTimeNow()
{
    const rt::DateTimeParts t = rt::Now();
    return {static_cast<uint16_t>(t.Hour), static_cast<uint16_t>(t.Min), static_cast<uint16_t>(t.Sec),
            static_cast<uint16_t>(t.MSec)};
}

Cycle::Cycle(Boards& boards, const ChannelLimits& limits, CycleSink& sink)
    : boards_(boards), limits_(limits), sink_(sink)
{
}

int64_t Cycle::AcquisitionNs() const
{
    return SampleRate > 0 ? static_cast<int64_t>(1e9 * FonSamples / SampleRate) : 0;
}

void Cycle::Begin(int32_t chanParam)
{
    stop_.store(false);
    active_ = true;
    chanParam_ = chanParam;
    PointNo = 0;
    CycleCount = 0;
    PlotCount = 0;
    PlotStart = 0;
    FonSum1 = FonSum2 = FonSum3 = FonSum4 = 0;
    const int64_t now = SteadyNowNs();
    startedNs_ = {now, now};
    live_.Begin(now, AcquisitionNs());
    FonRec.KadrNo = 0;
    FonTime();
}

void Cycle::Timer1Timer()
{
    if (!Active())
        return;
    if (!RadioPoll())
        return;
    ReadFon();
    if (Active() && CycleCount >= kCyclesPerPoint)
        ClosePoint();
}

void Cycle::ClosePoint()
{
    CycleCount = 0;
    ++PlotCount;
    ++PointNo;
    const TPointTime time = PointTimeNow();
    FonRec.Times[PointNo - 1] = time;
    const std::array<int32_t, 4> counts{FonSum1, FonSum2, FonSum3, FonSum4};
    for (int c = 1; c <= kFonChannels; ++c)
        FonRec.Counts(c)[PointNo - 1] = counts[static_cast<size_t>(c - 1)];
    FonSum1 = FonSum2 = FonSum3 = FonSum4 = 0;
    sink_.PointStored(PointNo, time, counts);

    if (PlotCount >= kPointsPerPlot) {
        PlotCount = 0;
        // Each batch starts with the last point of the previous one; point 0
        // of a frame's first batch holds no count and is left out.
        sink_.BatchReady(FonRec, std::max<int32_t>(PlotStart, 1), PlotStart + kPointsPerPlot);
        PlotStart += kPointsPerPlot;
    }

    if (PointNo >= kFonPoints) {
        sink_.FrameComplete(FonRec);
        PointNo = 0;
        PlotStart = 0;
        FonTime();
    }
}

void Cycle::FonTime()
{
    const rt::DateTimeParts t = rt::Now();
    Stamp(FonRec, t);
    FonRec.Rate = SampleRate;
    for (int c = 1; c <= kFonChannels; ++c)
        std::fill_n(FonRec.Spectr(c), kFonBins, int16_t{0});
    // The limits and the channel word the frame is counted with, so viewing
    // it shows them and a next run keeps them. A limit that is no number
    // yet keeps what the record held; the first search puts it in.
    FonRec.ChanParam = static_cast<int16_t>(chanParam_);
    for (int c = 1; c <= kFonChannels; ++c) {
        try {
            LimitInForce(c);
        } catch (const rt::EConvertError&) {
        }
    }
    ++FonRec.KadrNo;
    sink_.FrameStarted(FonRec.KadrNo, t);
}

void Cycle::EASTime()
{
    const rt::DateTimeParts t = rt::Now();
    Stamp(RadRec, t);
    ++RadRec.EventNo;
    sink_.EventStamped(RadRec.EventNo, t);
}

bool Cycle::RadioPoll()
{
    if (!Active())
        return false;
    int32_t word = 0;
    boards_.Radio(0)->Control(adc::kControlStatus, &word);
    if (word & adc::kRadioEventBit)
        ReadEAS();
    return Active(); // an error, or a failed write, has released the boards
}

void Cycle::ReadEAS()
{
    int32_t word = 0;
    boards_.Radio(0)->Control(adc::kControlStatus, &word);
    if (!(word & adc::kRadioEventBit))
        return;
    EASTime();
    const int32_t n = std::clamp(RadSamples / 2, 0, kRadSamples);
    int channel = 1;
    for (int k = 0; k < boards_.RadioCount() && channel < kRadChannels; ++k) {
        IADCDevice* board = boards_.Radio(k);
        board->GetData(adc::kSelectFirstInput, RadRec.Samples(channel), n, 0);
        board->GetData(adc::kSelectSecondInput, RadRec.Samples(channel + 1), n, 0);
        const int32_t st = board->Start();
        if (!AdcOk(st)) {
            Error(st);
            return;
        }
        channel += 2;
    }
    sink_.EventRead(RadRec);
}

bool Cycle::ReadBoard(IADCDevice* board, int b)
{
    const int32_t n = std::clamp(FonSamples, 0, kFonSamplesPerInput);
    live_.Stopped(b, SteadyNowNs());
    board->Stop();
    board->GetData(adc::kSelectFirstInput, FonBuf.data(), n, 0);
    board->GetData(adc::kSelectSecondInput, FonBuf.data() + kFonSamplesPerInput, n, 0);
    const int32_t st = board->Start();
    const int64_t now = SteadyNowNs();
    startedNs_[static_cast<size_t>(b)] = now;
    if (!AdcOk(st)) {
        Error(st);
        return false;
    }
    live_.Started(b, now);
    return true;
}

bool Cycle::WaitFonReady(IADCDevice* board, int b)
{
    // Asks once; while the board is not ready, sleeps until its data are
    // due and then asks again at short, growing intervals, never longer
    // than the bound.
    const int64_t started = startedNs_[static_cast<size_t>(b)];
    const int64_t due = started + AcquisitionNs();
    const int64_t bound = started + WaitBoundNs();
    for (bool first = true;; first = false) {
        int32_t word = 0;
        board->Control(adc::kControlStatus, &word);
        if (word != 0)
            return true;
        const int64_t now = SteadyNowNs();
        if (stop_.load())
            return false;
        if (now > bound) {
            HaltNotReady(b);
            return false;
        }
        if (first && now < due)
            pacer_.WaitUntil(due);
        else
            SleepUntilNs(std::min(now + RepollDelay(now - due), bound + 1));
    }
}

void Cycle::ReadFon()
{
    if (!RadioPoll())
        return;
    int32_t word = 0;
    boards_.Background(0)->Control(adc::kControlStatus, &word);
    if (word == 0) {
        // Not ready: nothing changes, unless the board stays silent for
        // far longer than an acquisition, which ends the run.
        if (SteadyNowNs() - startedNs_[0] > WaitBoundNs())
            HaltNotReady(0);
        return;
    }
    if (!ReadBoard(boards_.Background(0), 0) || !RadioPoll())
        return;
    Otbor1();
    if (!Active())
        return;
    FonSum1 += PulseCount1;
    FonSum2 += PulseCount2;
    if (!WaitFonReady(boards_.Background(1), 1) || !ReadBoard(boards_.Background(1), 1) || !RadioPoll())
        return;
    Otbor2();
    if (!Active())
        return;
    FonSum3 += PulseCount1;
    FonSum4 += PulseCount2;
    ++CycleCount;
    live_.CycleDone();
}

void Cycle::SearchInputs(int firstChannel, int16_t* spectr1, int16_t* spectr2)
{
    const size_t n = static_cast<size_t>(std::clamp(FonSamples, 0, kFonSamplesPerInput));
    FonLimit = LimitInForce(firstChannel);
    PulseCount1 = 0;
    PulseCount2 = 0;
    PulseCount1 = pulse::SearchPulses(std::span<const int16_t>(FonBuf.data(), n), FonLimit, MinPulseGap,
                                      std::span<int16_t, kFonBins>(spectr1, kFonBins));
    FonLimit = LimitInForce(firstChannel + 1);
    PulseCount2 = pulse::SearchPulses(std::span<const int16_t>(FonBuf.data() + kFonSamplesPerInput, n), FonLimit,
                                      MinPulseGap, std::span<int16_t, kFonBins>(spectr2, kFonBins));
    RadioPoll();
}

int32_t Cycle::LimitInForce(int c)
{
    const int32_t limit = limits_.Get(c);
    FonRec.Limit(c) = static_cast<int16_t>(std::clamp<int32_t>(limit, INT16_MIN, INT16_MAX));
    return limit;
}

void Cycle::Otbor1() { SearchInputs(1, FonRec.Spectr1, FonRec.Spectr2); }

void Cycle::Otbor2() { SearchInputs(3, FonRec.Spectr3, FonRec.Spectr4); }

void Cycle::Error(int32_t code)
{
    Halt(AdcErrorText(code));
}

int64_t Cycle::WaitBoundNs() const
{
    return kFonWaitFactor * std::max<int64_t>(AcquisitionNs(), 1'000'000);
}

void Cycle::HaltNotReady(int b)
{
    Halt(QString("Плата фона %1 не выдала данные за %2 мс: работа остановлена")
             .arg(b + 1)
             .arg(WaitBoundNs() / 1'000'000)
             .toStdString());
}

void Cycle::Release()
{
    if (boards_.Any())
        live_.End(SteadyNowNs());
    if (active_)
        stoppedAt_ = PointTimeNow();
    active_ = false;
    FreeBoards(boards_);
}

void Cycle::Halt(const std::string& message)
{
    Release();
    sink_.Halted(message);
}

int64_t Cycle::NextTickNs(int64_t now) const
{
    if (!Active())
        return INT64_MAX;
    const int64_t due = startedNs_[0] + AcquisitionNs();
    if (now < due)
        return std::min(due, now + kRadioPollNs);
    return now + RepollDelay(now - due);
}

} // namespace acq
