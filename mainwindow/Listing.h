#pragma once
// Texts of the record viewer: the fixed-width sample listings printed into the
// memo, and the date and time texts of the frame labels.
//
// Number fields are decimal integers right-aligned in a field of the given
// width and padded with blanks on the left; a number wider than its field
// takes all the characters it needs.
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <span>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

/// Header line of the background listing: " N     Время        1    2    3    4".
QString FonListingHeader();

/// One line of the background listing: point k (width 3), "/ ", the time
/// field (hour w2 ":" minute w2 ":" second w2 ":" millisecond w3, cut to 12
/// characters) and the four counts (width 5 each).
/// Example: "  1/  9: 5:30: 12   14    3    0  120".
QString FonListingLine(int32_t k, const TPointTime& t, int32_t c1, int32_t c2, int32_t c3, int32_t c4);

/// The whole background listing as one text joined with '\n' (no final
/// newline): header, an empty line, then one line per point 1..600;
/// 602 lines in all.
QString FonListingText(std::span<const TPointTime, kFonPoints> times,
                       std::span<const int32_t, kFonPoints> c1, std::span<const int32_t, kFonPoints> c2,
                       std::span<const int32_t, kFonPoints> c3, std::span<const int32_t, kFonPoints> c4);

/// The four channel legend lines written when the background listing is
/// turned off.
QStringList FonListingLegend();

/// Header line of the radio listing: "  N       1    2    3    4    5    6 "
/// (with its final blank).
QString RadListingHeader();

/// One line of the radio listing: sample i (width 4), "/ " and the six ADC
/// codes (width 5 each). Example: "   1/    -3    0   12    7 -128    5".
QString RadListingLine(int32_t i, const std::array<int16_t, kRadChannels>& codes);

/// The whole radio listing as one text joined with '\n' (no final newline):
/// header, an empty line, then one line per sample. The number of sample
/// lines is the length of the shortest of the six series (4096 for a record).
QString RadListingText(const std::array<std::span<const int16_t>, kRadChannels>& channels);

/// Time text of a point for the chart's corner labels: hour, minute and
/// second each right-aligned in 2 characters, joined by ":" ("␣9:␣5:30").
QString PointTimeText(uint16_t hour, uint16_t min, uint16_t sec);

/// Plain date text day "-" month "-" year, no padding ("6-12-2026").
QString DateText(int32_t day, int32_t month, int32_t year);

/// Plain time text hour ":" minute ":" second, no padding ("9:5:30").
QString TimeText(int32_t hour, int32_t min, int32_t sec);
