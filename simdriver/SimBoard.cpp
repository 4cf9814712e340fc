// The simulated board object.
#include "simdriver/SimBoard.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "simdriver/SimRadio.h"
#include "simdriver/SimState.h"

namespace sim {
namespace {

constexpr double kNever = std::numeric_limits<double>::infinity();
constexpr int32_t kOk = 1;
constexpr int32_t kErrNotInitialised = -1; // "Драйвер не инициализирован"
constexpr int32_t kErrBadParameters = -2;  // "Недопустимые значения параметров"
constexpr int32_t kErrNotConfigured = -20; // "Не заданы параметры измерения"
constexpr int32_t kErrNotSupported = 0;    // "Функция не поддерживается"
/// Largest sample count per input a board holds.
constexpr int32_t kMaxSamples = int32_t{1} << 26;
constexpr int32_t kModeBackground = 1;
constexpr int32_t kModeRadio = 8;
/// How far ahead a radio board looks for the next shower it sees (a day).
constexpr double kSkyLookAhead = 86400.0;

int inputOf(int32_t selector)
{
    if (selector == adc::kSelectFirstInput)
        return 0;
    if (selector == adc::kSelectSecondInput)
        return 1;
    return -1;
}

/// Repeats `script` into `dest` until `count` samples are written.
void fillRepeated(const std::vector<int16_t>& script, int16_t* dest, size_t count)
{
    while (count > 0) {
        const size_t piece = std::min(count, script.size());
        std::memcpy(dest, script.data(), piece * sizeof(int16_t));
        dest += piece;
        count -= piece;
    }
}

/// Logs an operation that is never called by the program.
int32_t unusedSlot(int32_t board, int32_t slot)
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(board, slot);
    c.result = kErrNotSupported;
    s.record(c);
    return kErrNotSupported;
}

} // namespace

SimBoard::SimBoard()
{
    for (auto& p : pulses_)
        p.reserve(64);
    state().boards.push_back(this);
}

SimBoard::~SimBoard() = default;

int32_t SimBoard::Slot0() { return unusedSlot(number_, 0); }
int32_t SimBoard::Slot3() { return unusedSlot(number_, 3); }
int32_t SimBoard::Slot8() { return unusedSlot(number_, 8); }

int32_t SimBoard::Release()
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(number_, SimOpRelease);
    int32_t status = kOk;
    s.takeFailure(number_, SimOpRelease, status);
    c.result = status;
    s.record(c);
    // The object goes away even when the call reports a failure: the caller
    // drops its reference regardless.
    closeInterval(s, now());
    s.boards.erase(std::remove(s.boards.begin(), s.boards.end(), this), s.boards.end());
    delete this;
    return status;
}

int32_t SimBoard::Init(int32_t boardNo, int32_t param1, int32_t param2, int32_t zero)
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(boardNo, SimOpInit, boardNo, param1, param2, zero);
    int32_t status = kOk;
    if (boardNo < 1 || boardNo > kMaxBoardNo) {
        status = kErrBadParameters;
    } else {
        // The board answers to its new number from here on, also when the
        // call is scripted to fail, so that its later calls can be told apart.
        number_ = boardNo;
        s.takeFailure(boardNo, SimOpInit, status);
    }
    c.result = status;
    s.record(c);
    return status;
}

int32_t SimBoard::Setup(int32_t one, AdcParams* params, int32_t* out)
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(number_, SimOpSetup, one);
    if (params)
        std::memcpy(c.params, params, sizeof(AdcParams));
    int32_t status = kOk;
    if (s.takeFailure(number_, SimOpSetup, status)) {
    } else if (number_ == 0) {
        status = kErrNotInitialised;
    } else if (!params || one != 1 || params->Kind != adc::kParamsKind
               || params->Size != adc::kParamsSize
               || (params->Mode != kModeBackground && params->Mode != kModeRadio)
               || !std::isfinite(params->Rate) || params->Rate <= 0.0f || params->Samples <= 0
               || params->Samples > kMaxSamples
               || (params->Mode == kModeRadio && params->Samples < 2)) {
        status = kErrBadParameters;
    } else {
        const double t = now();
        closeInterval(s, t); // a new configuration ends any acquisition
        running_ = false;
        started_ = false;
        mode_ = params->Mode;
        samples_ = mode_ == kModeRadio ? params->Samples / 2 : params->Samples;
        seconds_ = params->Samples / static_cast<double>(params->Rate);
        if (mode_ == kModeBackground) {
            gainScale_ = {gainScale(params->Gain1), gainScale(params->Gain2)};
            backgroundWaveform(backgroundChannel(number_, 0));
            backgroundWaveform(backgroundChannel(number_, 1));
        } else {
            prepareRadioNoise();
        }
        arm(s);
        if (out)
            *out = samples_;
    }
    c.result = status;
    s.record(c);
    return status;
}

int32_t SimBoard::Start()
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(number_, SimOpStart);
    int32_t status = kOk;
    if (s.takeFailure(number_, SimOpStart, status)) {
    } else if (number_ == 0) {
        status = kErrNotInitialised;
    } else if (mode_ == 0) {
        status = kErrNotConfigured;
    } else {
        const double t = now();
        closeInterval(s, t);
        startTime_ = t;
        running_ = true;
        started_ = true;
        latched_ = false;
        arm(s);
    }
    c.result = status;
    s.record(c);
    return status;
}

int32_t SimBoard::Stop()
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(number_, SimOpStop);
    int32_t status = kOk;
    if (!s.takeFailure(number_, SimOpStop, status) && running_) {
        const double t = now();
        closeInterval(s, t);
        running_ = false;
        stopTime_ = t;
    }
    c.result = status;
    s.record(c);
    return status;
}

int32_t SimBoard::GetData(int32_t selector, int16_t* dest, int32_t count, int32_t zero)
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(number_, SimOpGetData, selector, count, zero);
    const int input = inputOf(selector);
    int32_t status = count;
    const BoardSlot* slot = s.slot(number_);
    const double cpu0 = threadCpuSeconds();
    if (s.takeFailure(number_, SimOpGetData, status)) {
    } else if (input < 0 || !dest || count <= 0) {
        status = kErrBadParameters;
    } else if (slot && !slot->script[static_cast<size_t>(input)].empty()) {
        fillRepeated(slot->script[static_cast<size_t>(input)], dest, static_cast<size_t>(count));
    } else if (mode_ == kModeBackground) {
        const size_t i = static_cast<size_t>(input);
        renderBackground(backgroundChannel(number_, input), offset_[i], pulses_[i], dest,
                         static_cast<size_t>(count));
    } else if (mode_ == kModeRadio) {
        renderRadio(radioSeed_, number_ * 2 + input, dest, static_cast<size_t>(count));
    } else {
        status = kErrNotConfigured;
    }
    s.dataCpuSeconds += threadCpuSeconds() - cpu0;
    c.result = status;
    s.record(c);
    return status;
}

int32_t SimBoard::Control(int32_t code, int32_t* value)
{
    SimState& s = state();
    std::lock_guard lock(s.mutex);
    SimCall c = makeCall(number_, SimOpControl, code, value ? *value : 0);
    const double t = now();
    BoardSlot* slot = s.slot(number_);
    if (code == adc::kControlStatus && slot) {
        ++slot->statusQueries;
        if (slot->triggerAt > 0 && slot->statusQueries >= slot->triggerAt) {
            slot->triggerAt = 0;
            latched_ = true;
            latchTime_ = t;
        }
    }
    int32_t status = kOk;
    if (s.takeFailure(number_, SimOpControl, status)) {
    } else if (!value) {
        status = kErrBadParameters;
    } else if (code == adc::kControlStatus) {
        *value = statusWord(s, t);
    } else if (code != adc::kControlPrepare) {
        status = kErrNotSupported;
    }
    c.result = value ? *value : 0;
    s.record(c);
    return status;
}

double SimBoard::openLiveSeconds(double t, double since) const
{
    if (!running_)
        return 0.0;
    const double begin = std::max(startTime_, since);
    const double end = std::min(t, completion(state()));
    return std::max(0.0, end - begin);
}

int32_t SimBoard::statusWord(SimState& s, double t)
{
    if (!started_)
        return 0;
    const BoardSlot* slot = s.slot(number_);
    if (slot && slot->neverReady)
        return 0;
    if (latched_)
        return adc::kRadioEventBit;
    const double end = running_ ? t : stopTime_;
    const double done = naturalCompletion(s);
    if (done > end)
        return 0;
    if (mode_ == kModeRadio) {
        // Hold the event: a later change of the event rate must not take it back.
        latched_ = true;
        latchTime_ = done;
        if (done == skyDue_ && s.sky)
            s.sky->logSeen(skyShower_);
    }
    return adc::kRadioEventBit;
}

double SimBoard::naturalCompletion(const SimState& s) const
{
    if (mode_ == kModeBackground)
        return s.instant ? startTime_ : startTime_ + seconds_;
    if (mode_ != kModeRadio)
        return kNever;
    const double random = s.eventRate > 0.0 ? startTime_ + eventDraw_ * 60.0 / s.eventRate : kNever;
    return std::min(random, skyDue_);
}

double SimBoard::completion(const SimState& s) const
{
    const BoardSlot* slot = s.slot(number_);
    if (slot && slot->neverReady)
        return kNever;
    const double done = naturalCompletion(s);
    return latched_ ? std::min(done, latchTime_) : done;
}

void SimBoard::closeInterval(SimState& s, double t)
{
    if (!running_)
        return;
    if (BoardSlot* slot = s.slot(number_))
        slot->liveClosed += openLiveSeconds(t, s.resetTime);
}

void SimBoard::arm(SimState& s)
{
    eventDraw_ = s.rng.exponential();
    radioSeed_ = s.rng.next();
    if (mode_ == kModeRadio)
        armSky(s);
    if (mode_ != kModeBackground)
        return;
    for (int input = 0; input < 2; ++input) {
        const size_t i = static_cast<size_t>(input);
        offset_[i] = s.rng.below(kBackgroundLength);
        drawBackgroundPulses(backgroundChannel(number_, input), samples_, seconds_, gainScale_[i], s.rng,
                             pulses_[i]);
    }
}

void SimBoard::armSky(SimState& s)
{
    skyDue_ = kNever;
    if (!s.sky || !started_)
        return;
    // A station whose clock is ahead by the offset records a shower at its
    // instant plus the offset; the showers are named on the true UTC clock.
    const double monoToUtc = utcNow() - now();
    const double after = startTime_ + monoToUtc - s.sky->clockOffset();
    if (const std::optional<Shower> shower = s.sky->nextSeen(after, kSkyLookAhead)) {
        skyShower_ = *shower;
        skyDue_ = shower->utc + s.sky->clockOffset() - monoToUtc;
    }
}

} // namespace sim
