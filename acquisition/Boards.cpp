#include "acquisition/Boards.h"

#include "driver/ADC_Errors.h"
#include "driver/DllClient.h"
#include "driver/VT_Drivers.h"

namespace acq {
namespace {

/// An object of the driver starts with a pointer to its table of
/// operations; without one, nothing may be called through it.
bool HasTable(const void* object)
{
    return object && *static_cast<const void* const*>(object) != nullptr;
}

/// The parameter record of a board: the profile of its kind, the run's rate
/// and sample count, and the gains of its two channels.
void FillParams(AdcParams& p, const boards::Board& board, const SetupValues& v)
{
    const bool background = board.Kind == boards::Role::Background;
    const boards::Profile& profile = background ? boards::kBackgroundProfile : boards::kRadioProfile;
    InitAdcParams(p);
    p.Mode = profile.Mode;
    p.Rate = static_cast<float>(v.SampleRate);
    p.Samples = background ? v.FonSamples : v.RadSamples;
    p.Aux1 = profile.Aux1;
    p.ChanParam1 = p.ChanParam2 = background ? v.FonChanParam : profile.ChanParam;
    p.Flags = profile.Flags;
    p.Aux2 = profile.Aux2;
    const size_t first = static_cast<size_t>(board.FirstChannel - 1);
    p.Gain1 = background ? v.FonGains[first] : v.RadGains[first];
    p.Gain2 = background ? v.FonGains[first + 1] : v.RadGains[first + 1];
}

} // namespace

IADCDevice*& Boards::At(int i)
{
    IADCDevice** all[] = {&AdcFon1, &AdcFon2, &AdcRad1, &AdcRad2, &AdcRad3};
    return *all[i];
}

int32_t InitBoards(Boards& b, const SetupValues& v)
{
    {
        TDllClient client;
        b.AdcFactory = static_cast<IFactory*>(
            client.LoadDllFromRegistry(vt::Company, vt::Product, vt::Version, vt::Device, nullptr));
        // The client goes; the library stays loaded.
    }
    if (!b.AdcFactory)
        return kErrNoDriver;
    if (!HasTable(b.AdcFactory)) {
        b.AdcFactory = nullptr;
        return kErrWrongDriver;
    }
    for (int i = 0; i < 5; ++i) {
        void* made = b.AdcFactory->CreateInstance(adc::kDeviceInterface, 0);
        if (!HasTable(made))
            return kErrWrongDriver; // an object without its table is never kept or called
        b.At(i) = static_cast<IADCDevice*>(made);
    }

    b.FirstBoardNo = boards::kFirstBoardNo;
    for (int i = 0; i < 5; ++i) {
        const int32_t st = b.At(i)->Init(b.FirstBoardNo + i, b.InitParam1, b.InitParam2, 0);
        if (!AdcOk(st))
            return st;
    }

    int32_t value = boards::kPrepareValue;
    for (int i : boards::kPrepareOrder)
        b.At(i)->Control(adc::kControlPrepare, &value);

    int32_t out = 0;
    for (int i = 0; i < 5; ++i) {
        const boards::Board& board = boards::kBoards[static_cast<size_t>(i)];
        AdcParams& p = board.Kind == boards::Role::Background ? b.FonParams : b.RadParams;
        FillParams(p, board, v);
        const int32_t st = b.At(i)->Setup(boards::kSetupMode, &p, &out);
        if (!AdcOk(st))
            return st;
    }

    for (int i = 0; i < 5; ++i) {
        const int32_t st = b.At(i)->Start();
        if (!AdcOk(st))
            return st;
    }
    return 1;
}

void FreeBoards(Boards& b)
{
    for (int i = 0; i < 5; ++i) {
        IADCDevice*& board = b.At(i);
        if (board) {
            board->Stop();
            board->Release();
            board = nullptr;
        }
    }
}

} // namespace acq
