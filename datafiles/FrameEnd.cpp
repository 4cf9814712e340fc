#include "datafiles/FrameEnd.h"

int32_t FrameEndPoint(std::span<const int32_t, kFonPoints> c1, std::span<const int32_t, kFonPoints> c2,
                      std::span<const int32_t, kFonPoints> c3, std::span<const int32_t, kFonPoints> c4,
                      bool lastRecord)
{
    if (lastRecord)
        for (int i = 0; i < kFonPoints; ++i)
            if (c1[i] == 0 && c2[i] == 0 && c3[i] == 0 && c4[i] == 0)
                return i + 1;
    return kFonPoints;
}
