// The background cycle with its pulse selection, and the recording of radio
// events with the radio poll.
#include <QLineEdit>
#include <chrono>
#include <span>

#include "datafiles/PulseSearch.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Chart.h"
#include "platform/RunError.h"

bool TForm1::RadioPoll()
{
    if (!AdcRad1)
        return false;
    int32_t word = 0;
    AdcRad1->Control(adc::kControlStatus, &word);
    if (word & adc::kRadioEventBit)
        ReadEAS();
    return AdcRad1 != nullptr; // an error has released the boards
}

bool TForm1::ReadBoard(IADCDevice* board)
{
    const int32_t n = std::min(FonSamples, kFonSamplesPerInput);
    board->Stop();
    board->GetData(adc::kSelectFirstInput, FonBuf.data(), n, 0);
    board->GetData(adc::kSelectSecondInput, FonBuf.data() + kFonSamplesPerInput, n, 0);
    const int32_t st = board->Start();
    if (board == AdcFon1)
        Fon1StartedNs = SteadyNowNs();
    if (!AdcOk(st)) {
        Error(st);
        return false;
    }
    return true;
}

void TForm1::ScheduleFastPoll()
{
    // The timer's period would add up to a millisecond to every cycle; in the
    // last stretch before the first board's data are due the tick is run
    // again whenever the event loop is free instead.
    constexpr double kFastPollWindowMs = 1.5;
    if (!Running || !AdcFon1 || !Timer1->isActive())
        return;
    const int64_t now = SteadyNowNs();
    const double dueInMs = FonAcquisitionMs() - (now - Fon1StartedNs) / 1e6;
    if (dueInMs < kFastPollWindowMs)
        FastPoll->start();
}

bool TForm1::WaitFonReady(IADCDevice* board)
{
    using clock = std::chrono::steady_clock;
    const auto bound = std::chrono::duration<double, std::milli>(kFonWaitFactor * std::max(FonAcquisitionMs(), 1.0));
    const auto start = clock::now();
    for (;;) {
        int32_t word = 0;
        board->Control(adc::kControlStatus, &word);
        if (word != 0)
            return true;
        if (clock::now() - start > bound) {
            Halt(QString("Плата фона 2 не выдала данные за %1 мс: работа остановлена")
                     .arg(static_cast<int>(bound.count())));
            return false;
        }
    }
}

void TForm1::ReadFon()
{
    if (!RadioPoll())
        return;
    int32_t word = 0;
    AdcFon1->Control(adc::kControlStatus, &word);
    if (word == 0)
        return;
    if (!ReadBoard(AdcFon1) || !RadioPoll())
        return;
    Otbor1();
    if (!AdcFon1)
        return;
    FonSum1 += PulseCount1;
    FonSum2 += PulseCount2;
    if (!WaitFonReady(AdcFon2) || !ReadBoard(AdcFon2) || !RadioPoll())
        return;
    Otbor2();
    if (!AdcFon1)
        return;
    FonSum3 += PulseCount1;
    FonSum4 += PulseCount2;
    ++CycleCount;
}

int32_t TForm1::LimitOf(QLineEdit* edit) { return rt::StrToInt(rt::Trim(edit->text())); }

void TForm1::SearchInputs(QLineEdit* limit1, QLineEdit* limit2, int16_t* spectr1, int16_t* spectr2)
{
    const size_t n = static_cast<size_t>(std::min(FonSamples, kFonSamplesPerInput));
    FonLimit = LimitOf(limit1);
    PulseCount1 = 0;
    PulseCount2 = 0;
    PulseCount1 = pulse::SearchPulses(std::span<const int16_t>(FonBuf.data(), n), FonLimit, MinPulseGap,
                               std::span<int16_t, kFonBins>(spectr1, kFonBins));
    FonLimit = LimitOf(limit2);
    PulseCount2 = pulse::SearchPulses(std::span<const int16_t>(FonBuf.data() + kFonSamplesPerInput, n), FonLimit,
                               MinPulseGap, std::span<int16_t, kFonBins>(spectr2, kFonBins));
    RadioPoll();
}

void TForm1::Otbor1() { SearchInputs(MaskEdit1, MaskEdit2, FonRec.Spectr1, FonRec.Spectr2); }

void TForm1::Otbor2() { SearchInputs(MaskEdit3, MaskEdit4, FonRec.Spectr3, FonRec.Spectr4); }

void TForm1::ReadEAS()
{
    int32_t word = 0;
    AdcRad1->Control(adc::kControlStatus, &word);
    if (!(word & adc::kRadioEventBit))
        return;
    EASTime();
    const int32_t n = std::min(RadSamples / 2, kRadSamples);
    int channel = 1;
    for (IADCDevice* board : {AdcRad1, AdcRad2, AdcRad3}) {
        board->GetData(adc::kSelectFirstInput, RadRec.Samples(channel), n, 0);
        board->GetData(adc::kSelectSecondInput, RadRec.Samples(channel + 1), n, 0);
        const int32_t st = board->Start();
        if (!AdcOk(st)) {
            Error(st);
            return;
        }
        channel += 2;
    }
    WriteRadEvent();
    ViewData();
}

void TForm1::ViewData()
{
    const int n = std::min(RadSamples / 2, kRadSamples);
    std::vector<double> xs, ys;
    xs.reserve(kRadSamples);
    ys.reserve(kRadSamples);
    for (int c = 1; c <= kRadChannels; ++c) {
        chart::Series& s = Chart1->SeriesAt(c - 1);
        s.Clear();
        xs.clear();
        ys.clear();
        const int16_t* samples = RadRec.Samples(c);
        for (int i = 1; i <= n - 1; ++i) {
            xs.push_back(i);
            ys.push_back(samples[i - 1]);
        }
        s.AddMany(xs, ys);
    }
    // The marker at sample 2577 is two points, drawn afresh at every event.
    chart::Series& marker = Chart1->SeriesAt(6);
    marker.Clear();
    marker.AddXY(kRadMarkerSample, 127);
    marker.AddXY(kRadMarkerSample, -128);
    NoError();
}
