#pragma once
// The compression of one table's chunks, in order, on a few worker threads
// that live as long as the table. A ring of slots, each with its input and
// output buffers, and a compressor per worker, all made once: nothing is
// allocated per chunk, and no thread is started per chunk.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace dataexport {

class ChunkDeflater;

/// Chunks of `chunkBytes` bytes filled by one thread and compressed by the
/// workers; the filling thread takes them back, compressed, in the order
/// it handed them over.
class ChunkPipeline {
public:
    /// A compressed chunk: its tag and its bytes (valid until the next
    /// Submit).
    struct Compressed {
        uint64_t tag;
        std::span<const char> bytes;
    };

    /// Up to `inFlight` chunks (at least 1) compressed at once at deflate
    /// `level` by as many workers; with `shuffleSize` > 1 each chunk is
    /// shuffled for elements of that size first (export/hdf5/ChunkShuffle.h),
    /// and at level 1 packed by the run coder (export/hdf5/RunDeflate.h), the
    /// fastest for shuffled rows. Throws std::bad_alloc.
    ChunkPipeline(size_t chunkBytes, int level, unsigned inFlight, size_t shuffleSize = 0);
    ~ChunkPipeline();
    ChunkPipeline(const ChunkPipeline&) = delete;
    ChunkPipeline& operator=(const ChunkPipeline&) = delete;

    /// The chunk being filled (chunkBytes bytes, as the last use left them).
    std::span<char> Filling();
    /// Whether every slot is in flight: take the oldest before submitting.
    bool Full() const { return inFlight_ == slots_.size() - 1; }
    /// Whether a chunk is in flight.
    bool Busy() const { return inFlight_ > 0; }
    /// Hands the chunk being filled to the workers, marked with `tag`; the
    /// next slot becomes the one filled. Not when Full().
    void Submit(uint64_t tag);
    /// Waits for the oldest chunk in flight (one must be) and gives it back.
    Compressed TakeOldest();

private:
    struct Slot {
        std::unique_ptr<char[]> in, out;
        size_t outBytes = 0;
        uint64_t tag = 0;
        bool done = false;
    };
    void Work(ChunkDeflater& deflater, char* shuffled);

    size_t chunkBytes_, shuffleSize_, bound_ = 0;
    bool runs_ = false; ///< shuffled chunks go to the run coder
    std::vector<Slot> slots_;
    size_t filling_ = 0;  ///< slot being filled
    size_t inFlight_ = 0; ///< slots submitted and not yet taken back, after filling_ − inFlight_
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::deque<size_t> queue_; ///< slots waiting for a worker
    bool quit_ = false;
    std::vector<std::unique_ptr<ChunkDeflater>> deflaters_; ///< one a worker
    std::vector<std::unique_ptr<char[]>> shuffled_;        ///< a shuffled chunk, one a worker when shuffling
    std::vector<std::thread> workers_;
};

} // namespace dataexport
