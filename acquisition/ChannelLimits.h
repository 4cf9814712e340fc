#pragma once
// The amplitude limits of the four detector channels as the operator set
// them. Set from the window (or the command line) at any time, read by the
// cycle at every selection pass, possibly on the readout thread.
#include <QString>
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

namespace acq {

/// Limits of channels 1..4 when nothing else is set.
inline constexpr std::array<int32_t, 4> kDefaultLimits{14, 20, 16, 20};

class ChannelLimits {
public:
    ChannelLimits();
    /// Channel c (1..4) takes the text of its edit: blanks and control
    /// characters around it are removed and it is converted to a whole
    /// number. A text that is not one is kept as its conversion error,
    /// raised whenever the cycle reads the limit.
    void SetText(int channel, const QString& text);
    void Set(int channel, int32_t value);
    /// Channel c's limit; raises rt::EConvertError while its text is not a
    /// whole number.
    int32_t Get(int channel) const;

private:
    mutable std::mutex mutex_;
    std::array<int32_t, 4> values_{};
    std::array<std::string, 4> errors_{}; ///< non-empty while the text is not a number
};

} // namespace acq
