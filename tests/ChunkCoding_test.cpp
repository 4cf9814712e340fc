// The export's own chunk coding: what the run coder writes inflates to its
// input, and chunks shuffled by the export read back through HDF5's own
// filters as they were written.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <libdeflate.h>
#include <numeric>
#include <random>

#include "export/hdf5/Hdf5Table.h"
#include "export/hdf5/RunDeflate.h"

namespace {

using Bytes = std::vector<unsigned char>;

/// Runs of 1..600 bytes of a random byte, then random bytes.
Bytes Runs(size_t n, std::mt19937& rng)
{
    Bytes b;
    while (b.size() < n)
        b.insert(b.end(), std::min<size_t>(rng() % 600 + 1, n - b.size()), static_cast<unsigned char>(rng() % 3));
    for (size_t i = n / 2; i < n; ++i)
        b[i] = static_cast<unsigned char>(rng());
    return b;
}

TEST(ChunkCodingTest, RunCoderInflatesToItsInput)
{
    std::mt19937 rng(7);
    for (const Bytes& in : {Bytes{}, Bytes{42}, Bytes(1 << 20, 0xFF), Bytes(261, 1), Bytes(260, 2), Runs(1 << 20, rng)}) {
        Bytes z(dataexport::RunDeflateBound(in.size())), back(in.size() + 1);
        z.resize(dataexport::RunDeflate(in.data(), in.size(), z.data()));
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        size_t got = 0;
        EXPECT_EQ(libdeflate_zlib_decompress(d, z.data(), z.size(), back.data(), back.size(), &got), LIBDEFLATE_SUCCESS);
        libdeflate_free_decompressor(d);
        back.resize(got);
        EXPECT_EQ(back, in) << in.size() << " bytes";
    }
}

TEST(ChunkCodingTest, ShuffledTablesReadBackThroughHdf5)
{
    QTemporaryDir dir;
    const hid_t file = H5Fcreate((dir.path() + "/t.h5").toUtf8().constData(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    for (size_t size : {7, 16, 23, 88}) // rows shorter than, as long as, and no multiple of a 16-byte tile
        for (int level : {0, 1, 4}) {
            const hid_t row = H5Tcreate(H5T_OPAQUE, size);
            const std::string name = std::to_string(size) + "_" + std::to_string(level);
            Bytes rows(size * 2500); // 2.5 chunks of 1000 rows, no multiple of 16
            std::iota(rows.begin(), rows.end(), 0);
            {
                dataexport::Hdf5Table t(file, name, row, 1000, level, {}, true);
                for (size_t r = 0; r < 2500; ++r)
                    std::memcpy(t.NextRow(), rows.data() + size * r, size);
                t.Flush();
            }
            Bytes back(rows.size());
            const hid_t d = H5Dopen2(file, name.c_str(), H5P_DEFAULT);
            EXPECT_GE(H5Dread(d, row, H5S_ALL, H5S_ALL, H5P_DEFAULT, back.data()), 0);
            H5Dclose(d);
            H5Tclose(row);
            EXPECT_EQ(back, rows) << name;
        }
    H5Fclose(file);
}

} // namespace
