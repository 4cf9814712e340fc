#pragma once
// Driver error codes and their messages.
#include <array>
#include <cstdint>

struct TAdcErrorsRec {
    int32_t Code;
    const char* Message; ///< UTF-8
};

/// The error table in its fixed order (two codes stand out of numeric order).
extern const std::array<TAdcErrorsRec, 16> AdcErrors;

/// Message of the first row whose code equals `code`, else "Неизвестная ошибка".
const char* AdcErrorText(int32_t code);

/// Codes the caller uses when the library or a board object cannot be had.
inline constexpr int32_t kErrNoDriver = -10;
inline constexpr int32_t kErrWrongDriver = -11;
