#include "acquisition/Boards.h"

#include <algorithm>

#include "driver/ADC_Errors.h"
#include "driver/DllClient.h"

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

void Boards::Arrange(const Station& station)
{
    station_ = station;
    devices_.assign(station.Boards.size(), nullptr);
    background_ = station.IndicesOf(boards::Role::Background);
    radio_ = station.IndicesOf(boards::Role::Radio);
}

bool Boards::Any() const
{
    return std::any_of(devices_.begin(), devices_.end(), [](const IADCDevice* d) { return d != nullptr; });
}

int32_t InitBoards(Boards& b, const SetupValues& v)
{
    const Station& station = b.Layout();
    const int n = b.Count();
    {
        TDllClient client;
        client.HiveFile = station.Hive;
        const DriverKey& key = station.Driver;
        b.AdcFactory = static_cast<IFactory*>(client.LoadDllFromRegistry(
            key.Company.c_str(), key.Product.c_str(), key.Version.c_str(), key.Device.c_str(), nullptr));
        b.DriverProblem = client.Problem;
        // The client goes; the library stays loaded.
    }
    if (!b.AdcFactory)
        return kErrNoDriver;
    if (!HasTable(b.AdcFactory)) {
        b.AdcFactory = nullptr;
        return kErrWrongDriver;
    }
    for (int i = 0; i < n; ++i) {
        void* made = b.AdcFactory->CreateInstance(adc::kDeviceInterface, 0);
        if (!HasTable(made))
            return kErrWrongDriver; // an object without its table is never kept or called
        b.At(i) = static_cast<IADCDevice*>(made);
    }

    b.FirstBoardNo = boards::kFirstBoardNo;
    for (int i = 0; i < n; ++i) {
        const int32_t st = b.At(i)->Init(b.FirstBoardNo + i, b.InitParam1, b.InitParam2, 0);
        if (!AdcOk(st))
            return st;
    }

    // The first radio board is prepared first, then every other board in order.
    int32_t value = boards::kPrepareValue;
    std::vector<int> prepare = station.IndicesOf(boards::Role::Radio);
    prepare.resize(std::min<size_t>(prepare.size(), 1));
    for (int i = 0; i < n; ++i)
        if (prepare.empty() || i != prepare.front())
            prepare.push_back(i);
    for (int i : prepare)
        b.At(i)->Control(adc::kControlPrepare, &value);

    int32_t out = 0;
    for (int i = 0; i < n; ++i) {
        const boards::Board& board = station.Boards[static_cast<size_t>(i)];
        AdcParams& p = board.Kind == boards::Role::Background ? b.FonParams : b.RadParams;
        FillParams(p, board, v);
        const int32_t st = b.At(i)->Setup(boards::kSetupMode, &p, &out);
        if (!AdcOk(st))
            return st;
    }

    for (int i = 0; i < n; ++i) {
        const int32_t st = b.At(i)->Start();
        if (!AdcOk(st))
            return st;
    }
    return 1;
}

void FreeBoards(Boards& b)
{
    for (int i = 0; i < b.Count(); ++i) {
        IADCDevice*& board = b.At(i);
        if (board) {
            board->Stop();
            board->Release();
            board = nullptr;
        }
    }
}

} // namespace acq
