// Board set-up and release: obtains the five boards from the driver library
// found through the hive, initialises, configures and starts them.
#include <QLabel>
#include <chrono>

#include "driver/ADC_Errors.h"
#include "driver/DllClient.h"
#include "driver/VT_Drivers.h"
#include "mainwindow/VFonPCI2.h"
#include "platform/Chart.h"
#include "platform/Clock.h"

namespace {
/// Both inputs' gains of a board put into the parameter record.
void PutGains(AdcParams& p, int16_t g1, int16_t g2)
{
    p.Gain1 = g1;
    p.Gain2 = g2;
}
} // namespace

bool TForm1::InitBoards()
{
    {
        TDllClient client;
        AdcFactory = static_cast<IFactory*>(
            client.LoadDllFromRegistry(vt::Company, vt::Product, vt::Version, vt::Device, nullptr));
        // The client goes; the library stays loaded.
    }
    if (!AdcFactory) {
        Error(kErrNoDriver);
        return false;
    }
    IADCDevice** boards[] = {&AdcFon1, &AdcFon2, &AdcRad1, &AdcRad2, &AdcRad3};
    for (IADCDevice** b : boards) {
        *b = static_cast<IADCDevice*>(AdcFactory->CreateInstance(adc::kDeviceInterface, 0));
        if (!*b) {
            Error(kErrWrongDriver);
            return false;
        }
    }

    FirstBoardNo = 1;
    for (int k = 0; k < 5; ++k) {
        const int32_t st = (*boards[k])->Init(FirstBoardNo + k, InitParam1, InitParam2, 0);
        if (!AdcOk(st)) {
            Error(st);
            return false;
        }
    }

    int32_t value = 1;
    for (IADCDevice* b : {AdcRad1, AdcFon1, AdcFon2, AdcRad2, AdcRad3})
        b->Control(adc::kControlPrepare, &value);

    int32_t out = 0;
    auto setup = [&](IADCDevice* b, AdcParams& p) {
        const int32_t st = b->Setup(1, &p, &out);
        if (!AdcOk(st))
            Error(st);
        return AdcOk(st);
    };

    InitAdcParams(FonParams);
    FonParams.Mode = 1;
    FonParams.Rate = static_cast<float>(SampleRate);
    FonParams.Samples = FonSamples;
    FonParams.ChanParam1 = FonChanParam;
    FonParams.ChanParam2 = FonChanParam;
    FonParams.Flags = 104;
    PutGains(FonParams, FonRec.FGain1, FonRec.FGain2);
    if (!setup(AdcFon1, FonParams))
        return false;
    PutGains(FonParams, FonRec.FGain3, FonRec.FGain4);
    if (!setup(AdcFon2, FonParams))
        return false;

    InitAdcParams(RadParams);
    RadParams.Mode = 8;
    RadParams.Rate = static_cast<float>(SampleRate);
    RadParams.Samples = RadSamples;
    RadParams.Aux1 = 3;
    RadParams.ChanParam1 = -100;
    RadParams.ChanParam2 = -100;
    RadParams.Flags = 238;
    RadParams.Aux2 = 20;
    PutGains(RadParams, RadRec.RGain1, RadRec.RGain2);
    if (!setup(AdcRad1, RadParams))
        return false;
    PutGains(RadParams, RadRec.RGain3, RadRec.RGain4);
    if (!setup(AdcRad2, RadParams))
        return false;
    PutGains(RadParams, RadRec.RGain5, RadRec.RGain6);
    if (!setup(AdcRad3, RadParams))
        return false;

    for (IADCDevice* b : {AdcFon1, AdcFon2, AdcRad1, AdcRad2, AdcRad3}) {
        const int32_t st = b->Start();
        if (!AdcOk(st)) {
            Error(st);
            return false;
        }
    }

    Fon1StartedNs = SteadyNowNs();
    for (int s = 0; s <= 5; ++s)
        Chart1->SeriesAt(s).Clear();
    for (int s = 0; s <= 3; ++s)
        Chart2->SeriesAt(s).Clear();
    const rt::DateTimeParts now = rt::Now();
    Label4->setText(rt::ShortDateText(now));
    Label8->setText(rt::LongTimeText(now));
    return true;
}

void TForm1::FreeBoards()
{
    for (IADCDevice** b : {&AdcFon1, &AdcFon2, &AdcRad1, &AdcRad2, &AdcRad3}) {
        if (*b) {
            (*b)->Stop();
            (*b)->Release();
            *b = nullptr;
        }
    }
}
