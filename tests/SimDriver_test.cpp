// The simulated driver library, reached the way the program reaches it: the
// library is opened with dlopen and "StaticFactory" is taken as the address
// of a factory object; the control entries only script and observe.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "driver/ADC_Const.h"
#include "driver/IADCDevice.h"
#include "driver/IFactory.h"
#include "support/SimDriverControl.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0)
{
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

/// Stops and releases a board, as the program's release step does.
struct BoardRelease {
    void operator()(IADCDevice* b) const
    {
        b->Stop();
        b->Release();
    }
};
using Board = std::unique_ptr<IADCDevice, BoardRelease>;

AdcParams fonParams()
{
    AdcParams p;
    InitAdcParams(p);
    p.Mode = 1;
    p.Rate = 100000000.0f;
    p.Samples = 1000000;
    p.ChanParam1 = p.ChanParam2 = 90;
    p.Flags = 104;
    return p;
}

AdcParams radParams()
{
    AdcParams p;
    InitAdcParams(p);
    p.Mode = 8;
    p.Rate = 100000000.0f;
    p.Samples = 8192;
    p.Aux1 = 3;
    p.ChanParam1 = p.ChanParam2 = -100;
    p.Flags = 238;
    p.Aux2 = 20;
    return p;
}

int32_t status(IADCDevice* b)
{
    int32_t word = 0;
    b->Control(adc::kControlStatus, &word);
    return word;
}

/// The program's pulse rule: a sample deeper than the limit below 90 that is
/// no higher than either neighbour; first and last samples never count.
struct PulseStats {
    long count = 0;
    std::vector<long> spectrum = std::vector<long>(300, 0);
};

void searchPulses(const std::vector<int16_t>& samples, int limit, PulseStats& stats)
{
    const int16_t* x = samples.data();
    for (size_t i = 1; i + 1 < samples.size(); ++i) {
        if (90 - x[i] > limit && x[i] <= x[i + 1] && x[i] <= x[i - 1]) {
            ++stats.count;
            ++stats.spectrum[static_cast<size_t>(90 - x[i])];
        }
    }
}

class SimDriverTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        control = new SimDriverControl;
        void* lib = dlopen(SIMDRIVER_PATH, RTLD_NOW);
        ASSERT_NE(lib, nullptr) << dlerror();
        factory = reinterpret_cast<IFactory*>(dlsym(lib, "StaticFactory"));
        ASSERT_NE(factory, nullptr);
    }
    static void TearDownTestSuite()
    {
        delete control;
        control = nullptr;
    }

    void SetUp() override { control->reset(); }

    Board create() { return Board(static_cast<IADCDevice*>(factory->CreateInstance("IADCDevice", 0))); }

    /// A board initialised with `number` and set up with `params`, not started.
    Board configured(int32_t number, AdcParams params)
    {
        Board b = create();
        EXPECT_TRUE(b);
        if (!b)
            return b;
        int32_t one = 1, out = 0;
        EXPECT_GT(b->Init(number, 1, 0, 0), 0);
        b->Control(adc::kControlPrepare, &one);
        EXPECT_GT(b->Setup(1, &params, &out), 0);
        return b;
    }

    Board started(int32_t number, AdcParams params)
    {
        Board b = configured(number, params);
        if (b) {
            EXPECT_GT(b->Start(), 0);
        }
        return b;
    }

    /// Returns once a background acquisition begun now has had its 10 ms on
    /// the driver's own clock: time has passed for boards started before it,
    /// however long that takes on a loaded machine.
    void waitOneAcquisitionTime()
    {
        Board ref = started(6, fonParams());
        while (status(ref.get()) == 0)
            std::this_thread::yield();
    }

    static inline SimDriverControl* control = nullptr;
    static inline IFactory* factory = nullptr;
};

// ---------------------------------------------------------------------------
// Table of operations, log and status convention

TEST_F(SimDriverTest, FactoryMakesBoardsOnlyForTheDeviceInterface)
{
    void* other = factory->CreateInstance("IOtherDevice", 0);
    EXPECT_EQ(other, nullptr);
    Board b = create();
    ASSERT_TRUE(b);
    const auto creates = control->calls(SimOpCreate);
    ASSERT_EQ(creates.size(), 2u);
    EXPECT_EQ(creates[0].board, 1);
    EXPECT_EQ(creates[0].result, 0);
    EXPECT_EQ(creates[1].board, 2);
    EXPECT_EQ(creates[1].result, 1);
}

TEST_F(SimDriverTest, EachSlotLandsInItsOperationWithItsArguments)
{
    IADCDevice* b = static_cast<IADCDevice*>(factory->CreateInstance("IADCDevice", 0));
    ASSERT_NE(b, nullptr);
    AdcParams p = fonParams();
    p.Gain1 = -3;
    p.Gain2 = 7;
    int32_t one = 1, out = 0, word = 0;
    std::vector<int16_t> buf(10);
    control->setInstant(true);

    EXPECT_GT(b->Init(4, 1, 0, 0), 0);
    b->Control(adc::kControlPrepare, &one);
    EXPECT_GT(b->Setup(1, &p, &out), 0);
    EXPECT_GT(b->Start(), 0);
    b->Control(adc::kControlStatus, &word);
    b->Stop();
    b->GetData(adc::kSelectSecondInput, buf.data(), 10, 0);
    b->Slot0();
    b->Slot3();
    b->Slot8();
    b->Release();

    const auto log = control->calls();
    const std::vector<int32_t> ops{SimOpCreate, SimOpInit,    SimOpControl, SimOpSetup, SimOpStart, SimOpControl,
                                   SimOpStop,   SimOpGetData, 0,            3,          8,          SimOpRelease};
    ASSERT_EQ(log.size(), ops.size());
    for (size_t i = 0; i < ops.size(); ++i)
        EXPECT_EQ(log[i].op, ops[i]) << "row " << i;
    EXPECT_EQ(log[0].board, 1); // creation index
    for (size_t i = 1; i < log.size(); ++i)
        EXPECT_EQ(log[i].board, 4) << "row " << i;
    EXPECT_EQ(std::vector<int32_t>(log[1].args, log[1].args + 4), (std::vector<int32_t>{4, 1, 0, 0}));
    EXPECT_EQ(log[2].args[0], 2020);
    EXPECT_EQ(log[2].args[1], 1);
    EXPECT_EQ(log[3].args[0], 1);
    EXPECT_EQ(std::memcmp(log[3].params, &p, sizeof p), 0);
    EXPECT_EQ(log[5].args[0], 0);
    EXPECT_NE(log[5].result, 0); // the status word after the call: ready
    EXPECT_NE(word, 0);
    EXPECT_EQ(log[7].args[0], adc::kSelectSecondInput);
    EXPECT_EQ(log[7].args[1], 10);
    EXPECT_EQ(log[7].args[2], 0);
    for (size_t i : {8u, 9u, 10u})
        EXPECT_LE(log[i].result, 0) << "unused slot " << log[i].op;
}

TEST_F(SimDriverTest, CallsOutOfOrderOrWithBadValuesFailWithErrorCodes)
{
    Board b = create();
    ASSERT_TRUE(b);
    AdcParams p = fonParams();
    int32_t out = 0;
    EXPECT_LE(b->Setup(1, &p, &out), 0) << "Setup before Init";
    EXPECT_LE(b->Start(), 0) << "Start before Init";
    EXPECT_LE(b->Init(0, 1, 0, 0), 0);
    EXPECT_GT(b->Init(1, 1, 0, 0), 0);
    EXPECT_LE(b->Start(), 0) << "Start before Setup";

    AdcParams bad = p;
    bad.Size = 40;
    EXPECT_LE(b->Setup(1, &bad, &out), 0);
    bad = p;
    bad.Mode = 3;
    EXPECT_LE(b->Setup(1, &bad, &out), 0);
    bad = p;
    bad.Samples = 0;
    EXPECT_LE(b->Setup(1, &bad, &out), 0);
    EXPECT_LE(b->Setup(1, nullptr, &out), 0);

    EXPECT_GT(b->Setup(1, &p, &out), 0);
    EXPECT_GT(b->Start(), 0);
    std::vector<int16_t> buf(16, 555);
    EXPECT_LE(b->GetData(0x30000001, buf.data(), 16, 0), 0);
    EXPECT_EQ(buf, std::vector<int16_t>(16, 555)) << "a refused read writes nothing";
    EXPECT_GT(b->GetData(adc::kSelectFirstInput, buf.data(), 16, 0), 0);
    EXPECT_LE(b->Control(12345, &out), 0);
}

// ---------------------------------------------------------------------------
// Scripts

TEST_F(SimDriverTest, ScriptedFailureHitsTheCountedCallOfOneBoardOnce)
{
    struct Case {
        SimOp op;
        int32_t code;
    };
    const Case cases[] = {{SimOpInit, -3},   {SimOpSetup, -13},   {SimOpStart, -12}, {SimOpStop, -5},
                          {SimOpGetData, -6}, {SimOpControl, -7}, {SimOpRelease, -4}};
    AdcParams p = fonParams();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.op);
        control->reset();
        control->setInstant(true);
        control->fail(2, c.op, 2, c.code); // the second call on board 2
        Board other = configured(1, p);    // board 1 is not affected
        ASSERT_GT(other->Start(), 0);
        other->Stop();
        int16_t sample = 0;
        other->GetData(adc::kSelectFirstInput, &sample, 1, 0);
        int32_t word = 0;
        EXPECT_GT(other->Control(adc::kControlStatus, &word), 0);

        IADCDevice* b = static_cast<IADCDevice*>(factory->CreateInstance("IADCDevice", 0));
        ASSERT_NE(b, nullptr);
        int32_t out = 0;
        auto call = [&]() -> int32_t {
            switch (c.op) {
            case SimOpInit: return b->Init(2, 1, 0, 0);
            case SimOpSetup: return b->Setup(1, &p, &out);
            case SimOpStart: return b->Start();
            case SimOpStop: return b->Stop();
            case SimOpGetData: {
                int16_t s = 0;
                return b->GetData(adc::kSelectFirstInput, &s, 1, 0);
            }
            case SimOpControl: return b->Control(adc::kControlStatus, &word);
            default: return 0;
            }
        };
        ASSERT_GT(b->Init(2, 1, 0, 0), 0);
        ASSERT_GT(b->Setup(1, &p, &out), 0);
        ASSERT_GT(b->Start(), 0);
        if (c.op == SimOpRelease) {
            EXPECT_GT(b->Release(), 0) << "first Release on board 2";
            IADCDevice* b2 = static_cast<IADCDevice*>(factory->CreateInstance("IADCDevice", 0));
            ASSERT_GT(b2->Init(2, 1, 0, 0), 0);
            EXPECT_EQ(b2->Release(), c.code) << "second Release reports the scripted code";
            EXPECT_EQ(control->calls(SimOpRelease, 2).back().result, c.code);
            continue;
        }
        // Init, Setup and Start have been called once on board 2 already.
        const bool calledOnce = c.op == SimOpInit || c.op == SimOpSetup || c.op == SimOpStart;
        if (!calledOnce) {
            EXPECT_GT(call(), 0) << "first call after the script";
        }
        EXPECT_EQ(call(), c.code) << "second call";
        EXPECT_GT(call(), 0) << "one-shot";
        b->Stop();
        b->Release();
    }
}

TEST_F(SimDriverTest, ScriptedFailureOfCreateGivesNoBoard)
{
    control->fail(0, SimOpCreate, 3, 0);
    Board a = create(), b = create();
    void* c = factory->CreateInstance("IADCDevice", 0);
    Board d = create();
    EXPECT_TRUE(a && b && d);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(control->calls(SimOpCreate)[2].result, 0);
}

TEST_F(SimDriverTest, ScriptedFailureOfGetDataLeavesTheBufferAlone)
{
    control->setInstant(true);
    Board b = started(1, fonParams());
    control->fail(1, SimOpGetData, 1, -2);
    std::vector<int16_t> buf(100, 777);
    EXPECT_EQ(b->GetData(adc::kSelectFirstInput, buf.data(), 100, 0), -2);
    EXPECT_EQ(buf, std::vector<int16_t>(100, 777));
}

TEST_F(SimDriverTest, ScriptedSamplesAreRepeatedForEachSelectorOfEachKindOfBoard)
{
    control->scriptSamples(1, 0, {1, 2, 3});
    control->scriptSamples(1, 1, {-5, 6});
    control->scriptSamples(4, 0, {-128, 127, 0, 9});
    control->scriptSamples(4, 1, {42});
    Board fon = started(1, fonParams());
    Board rad = started(4, radParams());
    std::vector<int16_t> buf(7);
    fon->GetData(adc::kSelectFirstInput, buf.data(), 7, 0);
    EXPECT_EQ(buf, (std::vector<int16_t>{1, 2, 3, 1, 2, 3, 1}));
    fon->GetData(adc::kSelectSecondInput, buf.data(), 7, 0);
    EXPECT_EQ(buf, (std::vector<int16_t>{-5, 6, -5, 6, -5, 6, -5}));
    rad->GetData(adc::kSelectFirstInput, buf.data(), 7, 0);
    EXPECT_EQ(buf, (std::vector<int16_t>{-128, 127, 0, 9, -128, 127, 0}));
    rad->GetData(adc::kSelectSecondInput, buf.data(), 7, 0);
    EXPECT_EQ(buf, std::vector<int16_t>(7, 42));

    std::vector<int16_t> big(1000000);
    fon->GetData(adc::kSelectFirstInput, big.data(), 1000000, 0);
    EXPECT_EQ(big[999999], 1) << "999999 = 3 * 333333";

    control->scriptSamples(1, 0, {});
    fon->GetData(adc::kSelectFirstInput, big.data(), 1000000, 0);
    const auto quiet = std::count_if(big.begin(), big.end(), [](int16_t x) { return x > 80; });
    EXPECT_GT(quiet, 990000) << "the board's own data are back";
}

// ---------------------------------------------------------------------------
// Readiness and radio events

TEST_F(SimDriverTest, BackgroundBoardIsReadyOnceItsSamplesAreTakenAndNotBefore)
{
    Board b = configured(1, fonParams());
    EXPECT_EQ(status(b.get()), 0) << "not started";
    const auto t0 = Clock::now();
    ASSERT_GT(b->Start(), 0);
    int32_t word = 0;
    while ((word = status(b.get())) == 0 && secondsSince(t0) < 60.0) {
    }
    const double elapsed = secondsSince(t0);
    EXPECT_NE(word, 0);
    EXPECT_GE(elapsed, 0.010) << "1000000 samples at 100 MHz take 10 ms";
    std::printf("[ figures  ] background board ready after %.2f ms\n", elapsed * 1e3);

    // A Start begins a new acquisition; a Stop before its end leaves it incomplete.
    ASSERT_GT(b->Start(), 0);
    EXPECT_EQ(status(b.get()), 0);
    b->Stop();
    waitOneAcquisitionTime();
    EXPECT_EQ(status(b.get()), 0) << "stopped before its data were complete";
}

TEST_F(SimDriverTest, InstantAndNeverReadySettings)
{
    control->setInstant(true);
    Board a = started(1, fonParams());
    Board c = started(2, fonParams());
    EXPECT_NE(status(a.get()), 0);
    control->setNeverReady(2, true);
    EXPECT_EQ(status(c.get()), 0);
    control->setInstant(false);
    waitOneAcquisitionTime();
    EXPECT_EQ(status(c.get()), 0) << "never ready, even after its time";
    control->setNeverReady(2, false);
    EXPECT_NE(status(c.get()), 0);
    EXPECT_EQ(control->statusQueries(1), 1);
    EXPECT_EQ(control->statusQueries(2), 3);
}

TEST_F(SimDriverTest, RadioBoardTriggersAtTheNthQueryUntilItsNextStart)
{
    control->setEventRate(0);
    Board r = started(3, radParams());
    Board other = started(4, radParams());
    EXPECT_EQ(status(r.get()), 0);
    control->triggerAtQuery(3, 3);
    EXPECT_EQ(status(r.get()) & adc::kRadioEventBit, 0);
    EXPECT_EQ(status(r.get()) & adc::kRadioEventBit, 0);
    EXPECT_EQ(status(r.get()) & adc::kRadioEventBit, 1) << "third query from the script";
    EXPECT_EQ(status(r.get()) & adc::kRadioEventBit, 1) << "stays set";
    EXPECT_EQ(status(other.get()), 0) << "other boards are not triggered";
    std::vector<int16_t> buf(4096);
    r->GetData(adc::kSelectFirstInput, buf.data(), 4096, 0); // read without Stop
    EXPECT_EQ(status(r.get()) & adc::kRadioEventBit, 1) << "reading does not clear it";
    ASSERT_GT(r->Start(), 0);
    EXPECT_EQ(status(r.get()), 0) << "Start re-arms";
    EXPECT_EQ(control->statusQueries(3), 7);
}

TEST_F(SimDriverTest, RadioEventsComeAtTheSetRate)
{
    control->setEventRate(0);
    Board r = started(3, radParams());
    waitOneAcquisitionTime();
    EXPECT_EQ(status(r.get()), 0) << "no events at rate 0";

    // 60000 a minute: a mean wait of 1 ms. Twenty events in a row, each
    // re-armed by Start; the board's own live time (from each Start to its
    // event, whenever the event is noticed) gives their mean wait.
    control->setEventRate(60000);
    r->Start();
    const double live0 = control->liveSeconds(3);
    const auto t0 = Clock::now();
    int events = 0;
    while (events < 20 && secondsSince(t0) < 60.0) {
        if (status(r.get()) & adc::kRadioEventBit) {
            ++events;
            if (events < 20)
                r->Start();
        }
    }
    EXPECT_EQ(events, 20);
    const double mean = (control->liveSeconds(3) - live0) / 20;
    std::printf("[ figures  ] mean wait for a radio event at 1000/s: %.2f ms\n", mean * 1e3);
    EXPECT_GT(mean, 0.0);
    EXPECT_LT(mean, 0.003) << "1 ms expected; 20 waits above 3 ms on average have a chance below 1e-9";
}

TEST_F(SimDriverTest, RadioRecordingsCarryOnePulseNearSample2577OnAllSixChannels)
{
    control->setEventRate(0);
    std::vector<Board> boards;
    for (int32_t n = 3; n <= 5; ++n)
        boards.push_back(started(n, radParams()));
    std::vector<std::vector<int16_t>> channels;
    for (auto& b : boards) {
        for (int32_t sel : {adc::kSelectFirstInput, adc::kSelectSecondInput}) {
            std::vector<int16_t> x(4096, 999);
            EXPECT_EQ(b->GetData(sel, x.data(), 4096, 0), 4096);
            channels.push_back(std::move(x));
        }
    }
    for (size_t c = 0; c < channels.size(); ++c) {
        SCOPED_TRACE(c + 1);
        const auto& x = channels[c];
        size_t peak = 0;
        int quietMax = 0;
        double quietSum = 0;
        int quietN = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_GE(x[i], -128);
            ASSERT_LE(x[i], 127);
            if (std::abs(x[i]) > std::abs(x[peak]))
                peak = i;
            if (i + 1 < 2577 - 40 || i + 1 > 2577 + 40) {
                quietMax = std::max(quietMax, std::abs(int{x[i]}));
                quietSum += x[i];
                ++quietN;
            }
        }
        EXPECT_NEAR(static_cast<double>(peak + 1), 2577.0, 15.0);
        EXPECT_GE(std::abs(x[peak]), 15) << "tens of codes";
        EXPECT_LE(quietMax, 10) << "a few codes of noise elsewhere";
        EXPECT_NEAR(quietSum / quietN, 0.0, 0.5);
        for (size_t d = 0; d < c; ++d)
            EXPECT_NE(channels[d], x) << "channels differ";
    }
}

// ---------------------------------------------------------------------------
// Realistic background

TEST_F(SimDriverTest, BackgroundLooksLikeScintillatorData)
{
    // Boards sampling at 2 MHz: each read of 1000000 samples spans 0.5 s, so
    // the pulse statistics of 5 s per channel cost only 40 M samples to search.
    control->setInstant(true);
    AdcParams p = fonParams();
    p.Rate = 2000000.0f;
    const double secondsPerRead = p.Samples / static_cast<double>(p.Rate);
    Board fon[2] = {started(1, p), started(2, p)};
    const int limits[4] = {14, 20, 16, 20};
    constexpr int kReads = 10;
    PulseStats stats[4];
    PulseStats all;
    std::vector<int16_t> x(1000000);
    int lowest = 0, highest = 0;
    std::vector<long> codes(256, 0);
    for (int read = 0; read < kReads; ++read) {
        for (int b = 0; b < 2; ++b) {
            ASSERT_NE(status(fon[b].get()), 0);
            fon[b]->Stop();
            for (int input = 0; input < 2; ++input) {
                const int ch = b * 2 + input;
                fon[b]->GetData(input == 0 ? adc::kSelectFirstInput : adc::kSelectSecondInput, x.data(), 1000000, 0);
                searchPulses(x, limits[ch], stats[ch]);
                const int16_t* v = x.data();
                for (size_t i = 0; i < x.size(); ++i) {
                    lowest = std::min<int>(lowest, v[i]);
                    highest = std::max<int>(highest, v[i]);
                    if (v[i] >= -128 && v[i] <= 127)
                        ++codes[static_cast<size_t>(v[i] + 128)];
                }
            }
            ASSERT_GT(fon[b]->Start(), 0);
        }
    }
    const long clipped = codes[0];
    // Baseline: the most common code lies near 90; noise reaches no more than a
    // few codes above it, so (being symmetric) never near the limits below it.
    const auto mode = std::max_element(codes.begin(), codes.end()) - codes.begin() - 128;
    EXPECT_NEAR(static_cast<double>(mode), 90.0, 2.0);
    EXPECT_LE(highest, 96);
    // Pulses are clipped at the lowest code, never beyond.
    EXPECT_EQ(lowest, -128);
    EXPECT_GT(clipped, 0);

    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(ch + 1);
        const double rate = stats[ch].count / (kReads * secondsPerRead);
        std::printf("[ figures  ] channel %d: %.0f pulses/s above limit %d\n", ch + 1, rate, limits[ch]);
        EXPECT_GT(rate, 10.0);
        EXPECT_LT(rate, 1000.0);
        // Median amplitude of the counted pulses: the single-particle peak.
        long seen = 0;
        size_t median = 0;
        while (median < stats[ch].spectrum.size() && (seen += stats[ch].spectrum[median]) * 2 < stats[ch].count)
            ++median;
        EXPECT_GT(median, 40u);
        EXPECT_LT(median, 120u);
        for (size_t a = 0; a < all.spectrum.size(); ++a)
            all.spectrum[a] += stats[ch].spectrum[a];
    }
    EXPECT_GT(stats[2].count, 2 * stats[3].count) << "channels differ in rate";

    // The summed spectrum has its maximum (9-code running sum) well above the
    // limits, falls off towards the limits, and has a tail beyond twice the peak.
    long best = 0;
    size_t peakAt = 0;
    for (size_t a = 21; a + 4 < 219; ++a) {
        long sum = 0;
        for (size_t k = a - 4; k <= a + 4; ++k)
            sum += all.spectrum[k];
        if (sum > best) {
            best = sum;
            peakAt = a;
        }
    }
    EXPECT_GE(peakAt, 45u);
    EXPECT_LE(peakAt, 100u);
    long nearLimit = 0, tail = 0;
    for (size_t a = 21; a <= 29; ++a)
        nearLimit += all.spectrum[a];
    for (size_t a = 2 * peakAt; a < all.spectrum.size(); ++a)
        tail += all.spectrum[a];
    EXPECT_LT(nearLimit * 2, best);
    EXPECT_GT(tail, 0);
}

TEST_F(SimDriverTest, PulseAmplitudesScaleWithTheGainOfTheInput)
{
    // The same seed gives the same noise and pulses at every gain; only the
    // pulse depths below the baseline 90 of channel 1 change, by gain / 100.
    const auto readAt = [this](int32_t gain) {
        control->reset();
        control->setInstant(true);
        AdcParams p = fonParams();
        p.Rate = 2000000.0f; // 0.5 s of pulses per read
        p.Gain1 = p.Gain2 = gain;
        Board b = started(1, p);
        b->Stop();
        std::vector<int16_t> x(1000000);
        b->GetData(adc::kSelectFirstInput, x.data(), 1000000, 0);
        return x;
    };
    const std::vector<int16_t> unit = readAt(100);
    EXPECT_EQ(readAt(0), unit) << "a gain never filled in keeps the amplitudes";
    for (const int32_t gain : {50, 200}) {
        SCOPED_TRACE(gain);
        const std::vector<int16_t> x = readAt(gain);
        std::vector<double> ratios; // at the deepest sample of each clear, unclipped pulse
        for (size_t i = 1; i + 1 < unit.size(); ++i)
            if (unit[i] < 60 && unit[i] < unit[i - 1] && unit[i] <= unit[i + 1] && unit[i] > -128 && x[i] > -128)
                ratios.push_back((90.0 - x[i]) / (90.0 - unit[i]));
        ASSERT_GT(ratios.size(), 20u);
        std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
        EXPECT_NEAR(ratios[ratios.size() / 2], gain / 100.0, 0.05 * gain / 100.0);
    }
}

TEST_F(SimDriverTest, EachAcquisitionIsAFreshWindow)
{
    control->setInstant(true);
    Board b = started(1, fonParams());
    std::vector<int16_t> first(1000000), again(1000000), next(1000000);
    b->Stop();
    b->GetData(adc::kSelectFirstInput, first.data(), 1000000, 0);
    b->GetData(adc::kSelectFirstInput, again.data(), 1000000, 0);
    EXPECT_EQ(first, again) << "one acquisition reads the same twice";
    ASSERT_GT(b->Start(), 0);
    b->Stop();
    b->GetData(adc::kSelectFirstInput, next.data(), 1000000, 0);
    EXPECT_NE(first, next);
    long same = 0;
    for (size_t i = 0; i < first.size(); ++i)
        same += first[i] == next[i];
    EXPECT_LT(same, 800000) << "not merely a shifted pulse on the same window";
}

// What it costs is measured in bench/SimDriver_bench (BM_SetupTwoBackgroundBoards).
TEST_F(SimDriverTest, SettingUpTwoBackgroundBoardsIsQuick)
{
    // The waveforms are made at the first background Setup of the process:
    // two boards set up one after the other both deliver them, and a read
    // that is repeated delivers the same acquisition each time.
    Board a = configured(1, fonParams());
    Board b = configured(2, fonParams());
    ASSERT_TRUE(a && b);
    std::vector<int16_t> x(1000000), y(1000000);
    for (Board* board : {&a, &b}) {
        (*board)->Start();
        (*board)->Stop();
    }
    a->GetData(adc::kSelectFirstInput, x.data(), 1000000, 0);
    for (int i = 0; i < 3; ++i) {
        a->GetData(adc::kSelectFirstInput, y.data(), 1000000, 0);
        EXPECT_EQ(x, y);
    }
    b->GetData(adc::kSelectFirstInput, y.data(), 1000000, 0);
    EXPECT_GT(std::count_if(y.begin(), y.end(), [](int16_t s) { return s > 80; }), 990000) << "the baseline near 90";
}

// ---------------------------------------------------------------------------
// Live time and logging

TEST_F(SimDriverTest, LiveSecondsRunFromStartToCompleteDataOrStop)
{
    control->setEventRate(0);
    Board fon = configured(1, fonParams());
    Board slow = configured(2, fonParams());
    Board rad = configured(3, radParams());
    control->setNeverReady(2, true);
    // Each moment is bracketed by readings of the test's clock before and
    // after it, so the checks hold however the threads are scheduled.
    const auto t0 = Clock::now();
    fon->Start();
    const double slowStart0 = secondsSince(t0);
    slow->Start();
    const double slowStart1 = secondsSince(t0);
    rad->Start();
    const double radStart1 = secondsSince(t0);
    while (status(fon.get()) == 0)
        std::this_thread::yield();
    waitOneAcquisitionTime();
    control->triggerAtQuery(3, 1);
    const double beforeTrigger = secondsSince(t0);
    status(rad.get());
    const double atTrigger = secondsSince(t0);
    waitOneAcquisitionTime();
    const double beforeStop = secondsSince(t0);
    slow->Stop();
    const double atStop = secondsSince(t0);
    waitOneAcquisitionTime();
    double wall = 0;
    const double beforeQuery = secondsSince(t0);
    const double liveFon = control->liveSeconds(1, &wall);
    const double liveSlow = control->liveSeconds(2);
    const double liveRad = control->liveSeconds(3);
    EXPECT_NEAR(liveFon, 0.010, 1e-6) << "complete after its 10 ms though not stopped";
    EXPECT_LE(liveSlow, atStop - slowStart0);
    EXPECT_GE(liveSlow, beforeStop - slowStart1);
    EXPECT_LE(liveRad, atTrigger);
    EXPECT_GE(liveRad, beforeTrigger - radStart1);
    EXPECT_GE(liveRad, 0.010) << "triggered after a whole background acquisition";
    EXPECT_GE(wall, beforeQuery);

    // A second run adds to the first.
    fon->Start();
    while (status(fon.get()) == 0)
        std::this_thread::yield();
    EXPECT_NEAR(control->liveSeconds(1), 0.020, 1e-6);
}

TEST_F(SimDriverTest, PollsStayOutOfTheLogWhenAskedAndResetForgetsEverything)
{
    control->logPolls(false);
    control->setInstant(true);
    Board b = started(1, fonParams());
    std::vector<int16_t> x(100);
    for (int i = 0; i < 1000; ++i)
        status(b.get());
    b->GetData(adc::kSelectFirstInput, x.data(), 100, 0);
    b->Start();
    const auto log = control->calls();
    EXPECT_TRUE(std::none_of(log.begin(), log.end(),
                             [](const SimCall& c) { return c.op == SimOpControl || c.op == SimOpGetData; }));
    EXPECT_EQ(control->calls(SimOpStart).size(), 2u);
    EXPECT_EQ(control->statusQueries(1), 1000) << "queries are counted all the same";

    control->scriptSamples(1, 0, {5});
    control->fail(1, SimOpStart, 1, -3);
    control->reset();
    EXPECT_TRUE(control->calls().empty());
    EXPECT_EQ(control->statusQueries(1), 0);
    EXPECT_GT(b->Start(), 0) << "scripted failure forgotten";
    b->GetData(adc::kSelectFirstInput, x.data(), 100, 0);
    EXPECT_NE(x, std::vector<int16_t>(100, 5)) << "script forgotten";
    EXPECT_EQ(control->calls(SimOpGetData).size(), 1u) << "polls logged again";
}

} // namespace
