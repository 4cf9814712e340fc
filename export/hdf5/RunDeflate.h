#pragma once
// The fastest deflate of shuffled table chunks. A shuffled chunk is mostly
// runs of one repeated byte (the high bytes of an index, a time, the bytes
// of a file name) between short stretches of changing bytes (the low bytes
// of counts). A general compressor walks every byte of a run through its
// match finder; this coder passes a run in a few machine words and writes
// it as copies of the byte before (distance 1), and every other byte as a
// literal, in one block of deflate's fixed codes. The result is an ordinary
// zlib stream that every inflater (HDF5's deflate filter among them) reads.
#include <cstddef>

namespace dataexport {

/// Room RunDeflate may need for `bytes` bytes of input.
size_t RunDeflateBound(size_t bytes);

/// The zlib stream of the `bytes` bytes at `in`, written into `out` (room
/// for RunDeflateBound(bytes) bytes); returns its length.
size_t RunDeflate(const unsigned char* in, size_t bytes, unsigned char* out);

} // namespace dataexport

namespace dataexport {

/// Whether the pipelines made from now on pack shuffled level-1 chunks
/// with RunDeflate (the default) or with the general compressor: for
/// measuring one against the other.
void UseRunDeflate(bool use);
bool RunDeflateUsed();

} // namespace dataexport
