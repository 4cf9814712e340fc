// CSV export: the numbers and times of the rows are the same bytes under a
// locale with a decimal comma and digit grouping as under "C".
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "export/CsvExport.h"
#include "export/FileWalk.h"
#include "support/DecimalComma.h"
#include "support/SampleFiles.h"

namespace {

std::string SecondLine(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string header, line;
    std::getline(in, header);
    std::getline(in, line);
    return line;
}

TEST(CsvExportTest, RowsAreTheSameWhateverTheLocale)
{
    testing_support::DecimalCommaLocale ru;
    ASSERT_TRUE(ru.ok()) << ru.error();
    ASSERT_EQ(std::to_string(1.5), "1,500000"); // the locale is in force

    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    std::vector<std::unique_ptr<TFonKadr>> frames;
    frames.push_back(testing_support::MakeFonFrame(1));
    frames[0]->Counts1[0] = -1234567;
    frames[0]->Times[0] = {9, 5, 31, 500};
    testing_support::WriteFonFile(d + "/a.fon", frames);

    const auto zone = frames::StationZone::Open("Asia/Kolkata"); // a half-hour offset
    ASSERT_TRUE(zone);
    dataexport::CsvExport csv(d, false, *zone);
    std::ostringstream log;
    const auto s = dataexport::WalkFiles({d + "/a.fon"}, {&csv}, {false}, log);
    ASSERT_EQ(s.frames, 1) << log.str();
    dataexport::PrintSummary(s, log);
    const std::string file = d + "/a.fon";
    EXPECT_EQ(SecondLine(file + ".frames.csv"),
              file + ",0,1,2026-12-06T09:05:30.012+05:30,1796528130012000000,100000000,10,20,30,40,11,12,13,14,0,0\r");
    EXPECT_EQ(SecondLine(file + ".points.csv"), file + ",0,1,1,2026-12-06T09:05:31.500+05:30,1796528131500000000,-1234567,2001,3001,4001,0\r");
    EXPECT_EQ(log.str().rfind("выгружено кадров: 1, событий: 0 из файлов: 1, 0.0 МБ за ", 0), 0u) << log.str();
}

} // namespace
