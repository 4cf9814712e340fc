#pragma once
// Which point of a background frame gives the frame's end time.
#include <cstdint>
#include <span>

#include "datafiles/FonKadr.h"

/// The point (1..600) whose time stamp is shown as the frame's end time.
/// For the last record of a file (`lastRecord`) it is the first point whose
/// four counts are all 0 (a run stopped mid-frame leaves zeros from there
/// on); when there is none, and for every other record, it is point 600.
int32_t FrameEndPoint(std::span<const int32_t, kFonPoints> c1, std::span<const int32_t, kFonPoints> c2,
                      std::span<const int32_t, kFonPoints> c3, std::span<const int32_t, kFonPoints> c4,
                      bool lastRecord);

/// The point (1..600) where a stopped run's recording ends: in the last
/// record of a file (`lastRecord`), the first point whose four counts are
/// all 0; 0 when there is none or the record is not the last.
int32_t StopPoint(const TFonKadr& k, bool lastRecord);
