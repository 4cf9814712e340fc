// The trend CSV for scripts: header, one line per frame and channel, RFC
// 4180 quoting, empty fields for missing numbers, outcome codes.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "support/SampleFiles.h"
#include "trend/TrendCsv.h"
#include "trend/TrendCsvRead.h"

using namespace testing_support;

namespace {

std::string Slurp(const std::string& path)
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

/// Field `n` counted from the end of a CSV line (1: the last), as text;
/// the fields after the quoted file name hold no commas.
std::string FieldFromEnd(const std::string& line, int n)
{
    size_t end = line.size();
    for (int i = 1; i < n; ++i)
        end = line.rfind(',', end - 1);
    const size_t at = line.rfind(',', end - 1);
    return line.substr(at + 1, end - at - 1);
}

} // namespace

TEST(TrendCsv, LinesPerFrameAndChannelQuotedAndEmptyWhereNone)
{
    QTemporaryDir dir;
    const std::string odd = dir.filePath("run \"7\",b.fon").toStdString();
    auto frame = MakeFonFrame(1); // counts c·1000 + k; empty spectra: no centre, no slope
    for (int bin = 50; bin <= 70; ++bin)
        frame->Spectr2[bin - 1] = static_cast<int16_t>(100 - 4 * std::abs(bin - 60)); // a peak at 60
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(std::move(frame));
    WriteFonFile(odd, frames);
    const std::string out = dir.filePath("trend.csv").toStdString();
    std::vector<std::string> errors;
    trend::TrendCsvOptions opt;
    opt.Error = [&](const std::string& m) { errors.push_back(m); };

    ASSERT_EQ(trend::WriteTrendCsv({odd}, out, opt), trend::kTrendCsvOk);
    EXPECT_TRUE(errors.empty());
    const std::string text = Slurp(out);
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_EQ(lines.size(), 5u);
    std::string start = "\"";
    start.append(dir.path().toStdString())
        .append("/run \"\"7\"\",b.fon\",1,2026-12-06T09:05:30.012+00:00,1796547930012000000,");
    EXPECT_EQ(lines[0], "file,frame,start,start_ns [ns],channel,points,mean_per_point [counts/point],"
                        "mean_per_s [counts/s],centre,b,live_s [s],mean_per_live_s [counts/s]");
    // Points of 29.587 s / 599: the last point, 600, has no valid time (second 60).
    const auto perS = [](const std::string& line) { return std::stod(FieldFromEnd(line, 5)); };
    EXPECT_EQ(lines[1].rfind(start + "1,600,1300.5,", 0), 0u) << lines[1];
    EXPECT_NEAR(perS(lines[1]), 1300.5 * 599 / 29.587, 1e-6);
    EXPECT_EQ(FieldFromEnd(lines[1], 4) + "," + FieldFromEnd(lines[1], 3), ",");
    EXPECT_EQ(lines[2].rfind(start + "2,600,2300.5,", 0), 0u) << lines[2];
    EXPECT_NEAR(perS(lines[2]), 2300.5 * 599 / 29.587, 1e-6);
    EXPECT_NE(lines[2].find(",59,"), std::string::npos);
    EXPECT_LT(std::stod(FieldFromEnd(lines[2], 3)), -1); // a slope, written with a "."
    // Per live second: the frame's counts over its 600 points of 25 cycles
    // of 10 ms, whatever the wall time the points took.
    for (int c = 1; c <= kFonChannels; ++c) {
        const std::string& line = lines[static_cast<size_t>(c)];
        long long counts = 0;
        for (int k = 1; k <= kFonPoints; ++k)
            counts += c * 1000 + k;
        EXPECT_EQ(std::stod(FieldFromEnd(line, 2)), 150.0) << line;
        EXPECT_NEAR(std::stod(FieldFromEnd(line, 1)), static_cast<double>(counts) / 150.0, 1e-9) << line;
    }

    // An existing output is kept unless overwriting is asked for.
    EXPECT_EQ(trend::WriteTrendCsv({odd}, out, opt), trend::kTrendCsvSkipped);
    EXPECT_EQ(Slurp(out), text);
    ASSERT_EQ(errors.size(), 1u);
    opt.Overwrite = true;
    EXPECT_EQ(trend::WriteTrendCsv({odd}, out, opt), trend::kTrendCsvOk);
}

TEST(TrendCsv, SkippedFilesAreReportedAndTheRestWritten)
{
    QTemporaryDir dir;
    const std::string a = dir.filePath("a.fon").toStdString(), out = dir.filePath("t.csv").toStdString();
    WriteFonFile(a, 2);
    std::vector<std::string> errors;
    trend::TrendCsvOptions opt;
    opt.Error = [&](const std::string& m) { errors.push_back(m); };
    EXPECT_EQ(trend::WriteTrendCsv({dir.path().toStdString(), a}, out, opt), trend::kTrendCsvSkipped);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind(dir.path().toStdString() + ": ", 0), 0u) << errors[0];
    const std::string text = Slurp(out);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 2 * 4);

    // Cancelled: nothing is left behind.
    std::atomic<bool> cancel = true;
    opt.Cancel = &cancel;
    const std::string other = dir.filePath("u.csv").toStdString();
    EXPECT_EQ(trend::WriteTrendCsv({a}, other, opt), trend::kTrendCsvFailed);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(other)));
}

TEST(TrendCsv, ReadBackEitherHeaderWithBadLinesPassedOver)
{
    const std::string now = "file,frame,start,start_ns [ns],channel,points,mean_per_point [counts/point],"
                            "mean_per_s [counts/s],centre,b,live_s [s],mean_per_live_s [counts/s]\r\n";
    const std::string unlive = "file,frame,start,start_ns [ns],channel,points,mean_per_point [counts/point],"
                               "mean_per_s [counts/s],centre,b\r\n";
    const std::string early = "file,frame,start,channel,points,rate,centre,b\r\n";
    struct Case {
        std::string text;
        trend::TrendCsvHeaderKind header;
        size_t rows;
        std::vector<std::string> files;
        std::vector<trend::TrendLineProblem> problems;
    };
    const std::vector<Case> cases{
        {unlive + "\"a,\"\"b\"\".fon\",2,2026-12-06T09:05:30.012+03:00,1,1,600,1.5,30,60,-5.5\r\n"
                  "\"a,\"\"b\"\".fon\",2,2026-12-06T09:05:30.012+03:00,1,2,600,2.5,50,,\r\n"
                  "a.fon,x,2026-12-06T09:10:30.012+03:00,1,1,600,1.5,30,60,-5.5\r\n"
                  "a.fon,1,2026-12-06T09:10:30.012+03:00,1,5,600,1.5,30,60,-5.5\r\n",
         trend::TrendCsvHeaderKind::WithoutLive, 1, {"a,\"b\".fon"}, {{4, trend::TrendLineFault::BadNumber}, {5, trend::TrendLineFault::BadChannel}}},
        {early + "a.fon,1,2026-12-06T09:05:30.012,1,600,1.5,60,-5.5\n"
                 "a.fon,1,2026-12-06T09:05:30.012,1,600,1.5,60,-5.5\n"
                 "a.fon,1,2026-12-06T09:05:30.012,2,600,1.5\n"
                 "b.fon,1,2026-12-06T09:06:30.012,1,600,1.5,60,-5.5",
         trend::TrendCsvHeaderKind::Early, 2, {"a.fon", "b.fon"}, {{3, trend::TrendLineFault::BadChannel}, {4, trend::TrendLineFault::FieldCount}}},
        {now + "a.fon,3,2026-12-06T09:05:30.012+03:00,1,1,600,1.5,30,60,-5.5,150,6\r\n"
               "a.fon,3,2026-12-06T09:05:30.012+03:00,1,2,600,1.5,30,60,-5.5\r\n",
         trend::TrendCsvHeaderKind::Current, 1, {"a.fon"}, {{3, trend::TrendLineFault::FieldCount}}},
        {now + "\"a.fon,1,x,1,1,600,1,1,1,1,1,1\r\n", trend::TrendCsvHeaderKind::Current, 0, {}, {{2, trend::TrendLineFault::OpenQuote}}},
        {"file,frame\r\na.fon,1\r\n", trend::TrendCsvHeaderKind::None, 0, {}, {}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        const trend::TrendCsvContent got = trend::ReadTrendCsv(in);
        EXPECT_EQ(got.Header, c.header) << c.text;
        EXPECT_EQ(got.Table.Size(), c.rows) << c.text;
        EXPECT_EQ(got.Files, c.files) << c.text;
        ASSERT_EQ(got.Problems.size(), c.problems.size()) << c.text;
        for (size_t i = 0; i < c.problems.size(); ++i) {
            EXPECT_EQ(got.Problems[i].Line, c.problems[i].Line) << c.text;
            EXPECT_EQ(got.Problems[i].Fault, c.problems[i].Fault) << c.text;
        }
    }

    // The numbers of the first frame: channels 1 and 2 given, 3 and 4 not.
    std::istringstream in(cases[0].text);
    const trend::TrendTable t = trend::ReadTrendCsv(in).Table;
    EXPECT_EQ(t.Record[0], 1);
    EXPECT_EQ(t.Points[0], 600);
    EXPECT_DOUBLE_EQ(t.Time[0], frames::StampSeconds({2026, 12, 6, 9, 5, 30, 12})); // the wall time, as the files give it
    EXPECT_EQ(t.MeanPerPoint[1][0], 2.5f);
    EXPECT_EQ(t.Centre[0][0], 60);
    EXPECT_TRUE(std::isnan(t.Centre[1][0]) && std::isnan(t.B[1][0]) && std::isnan(t.MeanPerPoint[2][0]));
    EXPECT_EQ(t.NoCentre[1].at(frames::SpectrumFault::NotRecorded), 1);
    EXPECT_FLOAT_EQ(t.PointSeconds[0], 1.5f / 30); // mean_per_point ÷ mean_per_s

    // Read in two pieces cut anywhere (a growing file read twice), each
    // case gives what it gives read whole.
    for (const Case& c : cases)
        for (size_t cut = 0; cut <= c.text.size(); ++cut) {
            trend::TrendCsvParser parser;
            const size_t used = parser.Feed(std::string_view(c.text).substr(0, cut), false);
            ASSERT_LE(used, cut);
            parser.Feed(std::string_view(c.text).substr(used), true);
            parser.Finish();
            const trend::TrendCsvContent& got = parser.Content();
            EXPECT_EQ(got.Table.Size(), c.rows) << cut << ": " << c.text;
            EXPECT_EQ(got.Files, c.files) << cut << ": " << c.text;
            ASSERT_EQ(got.Problems.size(), c.problems.size()) << cut << ": " << c.text;
            for (size_t i = 0; i < c.problems.size(); ++i)
                EXPECT_EQ(got.Problems[i].Line, c.problems[i].Line) << cut << ": " << c.text;
        }
}
