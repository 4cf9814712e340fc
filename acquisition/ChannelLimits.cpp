#include "acquisition/ChannelLimits.h"

#include "platform/RunError.h"

namespace acq {

ChannelLimits::ChannelLimits() : values_(kDefaultLimits) {}

void ChannelLimits::SetText(int channel, const QString& text)
{
    const size_t c = static_cast<size_t>(channel - 1);
    std::lock_guard lock(mutex_);
    try {
        values_[c] = rt::StrToInt(rt::Trim(text));
        errors_[c].clear();
    } catch (const rt::EConvertError& e) {
        errors_[c] = e.what();
    }
}

void ChannelLimits::Set(int channel, int32_t value)
{
    const size_t c = static_cast<size_t>(channel - 1);
    std::lock_guard lock(mutex_);
    values_[c] = value;
    errors_[c].clear();
}

int32_t ChannelLimits::Get(int channel) const
{
    const size_t c = static_cast<size_t>(channel - 1);
    std::lock_guard lock(mutex_);
    if (!errors_[c].empty())
        throw rt::EConvertError(errors_[c]);
    return values_[c];
}

} // namespace acq
