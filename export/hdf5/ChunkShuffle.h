#pragma once
// HDF5's shuffle filter, done by the export itself before a chunk is
// compressed: the bytes of a chunk of fixed-size elements regrouped so that
// byte 0 of every element comes first, then byte 1 of every element, and
// so on. A table's rows hold columns that change little from row to row
// (an index, a time, a file name), and in this order each becomes a run
// that deflate packs quickly and small. HDF5 undoes it on reading when the
// dataset lists the shuffle filter before deflate.
#include <cstddef>

namespace dataexport {

/// The shuffle of `bytes` bytes at `in` into `out` (as many bytes, not
/// overlapping `in`) for elements of `elementSize` bytes; bytes past the
/// last whole element are copied as they are, as HDF5 does.
void ShuffleChunk(const char* in, char* out, size_t bytes, size_t elementSize);

} // namespace dataexport
