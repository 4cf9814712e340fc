// Texts of the record viewer: the sample listings, the time and date labels
// and the point that gives a frame's end time.
#include <gtest/gtest.h>
#include <memory>

#include <array>
#include <vector>

#include "datafiles/FrameEnd.h"
#include "mainwindow/Listing.h"

namespace {

struct FonFrame {
    std::array<TPointTime, kFonPoints> Times{};
    std::array<int32_t, kFonPoints> C1{}, C2{}, C3{}, C4{};
    QString Text() const { return FonListingText(Times, C1, C2, C3, C4); }
};

} // namespace

TEST(FonListing, HeaderAndExampleLine)
{
    EXPECT_EQ(FonListingHeader(), QStringLiteral(" N     Время        1    2    3    4"));
    const QString line = FonListingLine(1, {9, 5, 30, 12}, 14, 3, 0, 120);
    EXPECT_EQ(line, QStringLiteral("  1/  9: 5:30: 12   14    3    0  120"));
    EXPECT_EQ(line.size(), 37);
}

TEST(FonListing, WideNumbersTakeWhatTheyNeed)
{
    // A count of 123456 widens its column and shifts the rest of the line.
    EXPECT_EQ(FonListingLine(5, {10, 20, 30, 400}, 123456, 1, 2, 3),
              QStringLiteral("  5/ 10:20:30:400123456    1    2    3"));
    EXPECT_EQ(FonListingLine(600, {23, 59, 59, 999}, -7, -1234, 99999, 100000),
              QStringLiteral("600/ 23:59:59:999   -7-123499999100000"));
    // The point number is wider than 3 only past the frame, but is written in full.
    EXPECT_EQ(FonListingLine(1000, {0, 0, 0, 0}, 0, 0, 0, 0), QStringLiteral("1000/  0: 0: 0:  0    0    0    0    0"));
}

TEST(FonListing, TimeFieldIsCutToTwelveCharacters)
{
    // hour 65535 would make "65535: 5:30: 12" (15 characters): only 12 are kept.
    EXPECT_EQ(FonListingLine(1, {65535, 5, 30, 12}, 14, 3, 0, 120),
              QStringLiteral("  1/ 65535: 5:30:   14    3    0  120"));
    EXPECT_EQ(FonListingLine(2, {1, 2, 3, 4567}, 0, 0, 0, 0), QStringLiteral("  2/  1: 2: 3:456    0    0    0    0"));
}

TEST(FonListing, WholeListingHas602Lines)
{
    FonFrame f;
    f.Times[0] = {9, 5, 30, 12};
    f.C1[0] = 14;
    f.C2[0] = 3;
    f.C4[0] = 120;
    f.Times[599] = {14, 7, 3, 500};
    f.C1[599] = 1;
    f.C2[599] = 2;
    f.C3[599] = 3;
    f.C4[599] = 4;
    const QStringList lines = f.Text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 602);
    EXPECT_EQ(lines[0], FonListingHeader());
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2], QStringLiteral("  1/  9: 5:30: 12   14    3    0  120"));
    // a never-filled point prints zeros
    EXPECT_EQ(lines[3], QStringLiteral("  2/  0: 0: 0:  0    0    0    0    0"));
    EXPECT_EQ(lines[601], QStringLiteral("600/ 14: 7: 3:500    1    2    3    4"));
    for (int k = 1; k <= kFonPoints; ++k)
        ASSERT_EQ(lines[k + 1].size(), 37) << "point " << k;
}

TEST(FonListing, WholeTextAgreesWithLineByLine)
{
    FonFrame f;
    for (int i = 0; i < kFonPoints; ++i) {
        f.Times[i] = {static_cast<uint16_t>(i % 24), static_cast<uint16_t>(i % 60), static_cast<uint16_t>(i * 7 % 60),
                      static_cast<uint16_t>(i * 37 % 1000)};
        f.C1[i] = i * 3;
        f.C2[i] = -i;
        f.C3[i] = i * i;
        f.C4[i] = 600 - i;
    }
    const QStringList lines = f.Text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 602);
    for (int i = 0; i < kFonPoints; ++i)
        ASSERT_EQ(lines[i + 2], FonListingLine(i + 1, f.Times[i], f.C1[i], f.C2[i], f.C3[i], f.C4[i]));
}

TEST(FonListing, LegendLines)
{
    const QStringList legend = FonListingLegend();
    ASSERT_EQ(legend.size(), 4);
    EXPECT_EQ(legend[0], QStringLiteral("1 канал - 2 м*м (красный)"));
    EXPECT_EQ(legend[1], QStringLiteral("2 канал - мюонный детектор (синий)"));
    EXPECT_EQ(legend[2], QStringLiteral("3 канал - четвертушка (зеленый)"));
    EXPECT_EQ(legend[3], QStringLiteral("4 канал - кастрюля I (оранжевый)"));
}

TEST(RadListing, HeaderAndExampleLine)
{
    EXPECT_EQ(RadListingHeader(), QStringLiteral("  N       1    2    3    4    5    6 "));
    const QString line = RadListingLine(1, {-3, 0, 12, 7, -128, 5});
    EXPECT_EQ(line, QStringLiteral("   1/    -3    0   12    7 -128    5"));
    EXPECT_EQ(line.size(), 36);
    EXPECT_EQ(RadListingLine(4096, {-32768, 32767, 0, 0, 0, 0}), QStringLiteral("4096/ -3276832767    0    0    0    0"));
}

TEST(RadListing, WholeListingHas4098Lines)
{
    std::vector<std::vector<int16_t>> ch(kRadChannels, std::vector<int16_t>(kRadSamples, 0));
    ch[0][0] = -3;
    ch[2][0] = 12;
    ch[3][0] = 7;
    ch[4][0] = -128;
    ch[5][0] = 5;
    ch[5][4095] = 127;
    std::array<std::span<const int16_t>, kRadChannels> spans;
    for (int c = 0; c < kRadChannels; ++c)
        spans[c] = ch[c];
    const QStringList lines = RadListingText(spans).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4098);
    EXPECT_EQ(lines[0], RadListingHeader());
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2], QStringLiteral("   1/    -3    0   12    7 -128    5"));
    EXPECT_EQ(lines[3], QStringLiteral("   2/     0    0    0    0    0    0"));
    EXPECT_EQ(lines[4097], QStringLiteral("4096/     0    0    0    0    0  127"));
}

TEST(RadListing, LengthFollowsTheShortestSeries)
{
    std::vector<int16_t> longer(10, 1), shorter(3, 2);
    std::array<std::span<const int16_t>, kRadChannels> spans{longer, longer, shorter, longer, longer, longer};
    const QStringList lines = RadListingText(spans).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[4], QStringLiteral("   3/     1    1    2    1    1    1"));
}

TEST(TimeTexts, PointTimeIsBlankPadded)
{
    EXPECT_EQ(PointTimeText(9, 5, 30), QStringLiteral(" 9: 5:30"));
    EXPECT_EQ(PointTimeText(14, 7, 3), QStringLiteral("14: 7: 3"));
    EXPECT_EQ(PointTimeText(0, 0, 0), QStringLiteral(" 0: 0: 0"));
    EXPECT_EQ(PointTimeText(123, 0, 0), QStringLiteral("123: 0: 0"));
}

TEST(TimeTexts, PlainDateAndTime)
{
    EXPECT_EQ(DateText(6, 12, 2026), QStringLiteral("6-12-2026"));
    EXPECT_EQ(TimeText(9, 5, 30), QStringLiteral("9:5:30"));
    EXPECT_EQ(TimeText(0, 0, 0), QStringLiteral("0:0:0"));
}

TEST(FrameEnd, LastRecordStopsAtTheFirstAllZeroPointOrUnsavedTime)
{
    auto k = std::make_unique<TFonKadr>();
    for (int i = 0; i < 411; ++i) // points 1..411 hold counts, zeros from 412 on
        k->Counts1[i] = k->Counts2[i] = k->Counts3[i] = k->Counts4[i] = 5;
    k->Times[410] = {10, 0, 1, 0};
    k->Times[411] = {10, 0, 2, 500};
    EXPECT_EQ(FrameEndPoint(*k, true), 412);
    EXPECT_EQ(FrameEndPoint(*k, false), 600);
    EXPECT_EQ(FrameEndTime(*k, true).MSec, 500);
    k->Counts4[9] = 0; // point 10: only three channels zero
    k->Counts1[20] = k->Counts2[20] = k->Counts3[20] = k->Counts4[20] = 0; // point 21: all four zero
    EXPECT_EQ(FrameEndPoint(*k, true), 21);
    k->Times[5] = {0xFFFF, 0xFFFF, 7, 0}; // point 6: its save was cut short
    EXPECT_EQ(FrameEndPoint(*k, true), 6);
    k->Times[4] = {9, 59, 58, 250};
    EXPECT_EQ(FrameEndTime(*k, true).Sec, 58); // the last point recorded before it
    for (int c = 1; c <= 4; ++c)
        std::fill_n(k->Counts(c), kFonPoints, 1);
    k->Times[5] = {};
    EXPECT_EQ(FrameEndPoint(*k, true), 600); // no empty point at all
}
