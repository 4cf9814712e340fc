// The one reader of data files: chunks of whole records, a torn tail told by
// its size, a file that shrinks while it is read, and names that are no
// regular file refused before any read, each said in the same words.
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "datafiles/FileProblemText.h"
#include "datafiles/RecordReader.h"
#include "support/SampleFiles.h"

using datafiles::ReadFault;
using datafiles::RecordReader;

TEST(RecordReader, ChunksOfWholeRecordsUntilTheFileShrinks)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.fon").toStdString();
    testing_support::WriteFonFile(path, 5);
    std::ofstream(path, std::ios::app) << std::string(100, 'x');

    RecordReader r(path, sizeof(TFonKadr));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.records(), 5);
    EXPECT_EQ(datafiles::TornTailText(r.state()), "неполная последняя запись (100 байт) после 5 целых записей, прочитаны только целые");
    std::vector<TFonKadr> buf(3);
    ASSERT_EQ(r.Read(buf.data(), 3), 3);
    EXPECT_EQ(buf[2].KadrNo, 3);

    // Cut to four records and a half while it is read: the fourth stands.
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(sizeof(TFonKadr) * 4 + 50)), 0);
    EXPECT_EQ(r.Read(buf.data(), 3), 1);
    EXPECT_EQ(buf[0].KadrNo, 4);
    EXPECT_EQ(r.state().Fault, ReadFault::Shrunk);
    EXPECT_EQ(datafiles::ReadFaultText(r.state()), "файл укоротился во время чтения, прочитано записей: 4");
    EXPECT_EQ(r.Read(buf.data(), 1), 0);
}

TEST(RecordReader, OnlyRegularFilesAreRead)
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("pipe.Rad").toStdString(); // no writer: a blocking open would hang
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path;
        ReadFault fault;
        std::string text;
    } rows[] = {
        {fifo, ReadFault::NotRegular, "не обычный файл (папка, канал или устройство), не читается"},
        {dir.path().toStdString(), ReadFault::NotRegular, "не обычный файл (папка, канал или устройство), не читается"},
        {dir.filePath("gone.Rad").toStdString(), ReadFault::OpenFailed, "не открывается: нет такого файла или папки"},
    };
    for (const auto& row : rows) {
        RecordReader r(row.path, sizeof(TRadKadr));
        EXPECT_FALSE(r.ok()) << row.path;
        EXPECT_EQ(r.state().Fault, row.fault) << row.path;
        EXPECT_EQ(datafiles::ReadFaultText(r.state()), row.text);
        EXPECT_FALSE(r.Seek(0));
    }
}
