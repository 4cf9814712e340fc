#include "export/hdf5/ChunkPipeline.h"

#include <algorithm>

#include "export/hdf5/ChunkDeflate.h"
#include "export/hdf5/ChunkShuffle.h"
#include "export/hdf5/RunDeflate.h"

namespace dataexport {

ChunkPipeline::ChunkPipeline(size_t chunkBytes, int level, unsigned inFlight, size_t shuffleSize)
    : chunkBytes_(chunkBytes), shuffleSize_(shuffleSize), slots_(std::max(1u, inFlight) + 1)
{
    runs_ = shuffleSize_ > 1 && level == 1 && RunDeflateUsed();
    bound_ = runs_ ? RunDeflateBound(chunkBytes) : ChunkDeflater(level).Bound(chunkBytes);
    for (Slot& s : slots_) {
        s.in = std::make_unique<char[]>(chunkBytes_);
        s.out = std::make_unique_for_overwrite<char[]>(bound_);
    }
    // The compressors are made here, so a failure is the caller's.
    for (size_t w = 0; w + 1 < slots_.size(); ++w) {
        deflaters_.push_back(std::make_unique<ChunkDeflater>(level));
        shuffled_.push_back(shuffleSize_ > 1 ? std::make_unique_for_overwrite<char[]>(chunkBytes_) : nullptr);
    }
    for (size_t w = 0; w < deflaters_.size(); ++w)
        workers_.emplace_back([this, &deflater = *deflaters_[w], shuffled = shuffled_[w].get()] {
            Work(deflater, shuffled);
        });
}

ChunkPipeline::~ChunkPipeline()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

std::span<char> ChunkPipeline::Filling() { return {slots_[filling_].in.get(), chunkBytes_}; }

void ChunkPipeline::Submit(uint64_t tag)
{
    Slot& s = slots_[filling_];
    {
        std::lock_guard lock(mutex_);
        s.tag = tag;
        s.done = false;
        queue_.push_back(filling_);
    }
    work_.notify_one();
    filling_ = (filling_ + 1) % slots_.size();
    ++inFlight_;
}

ChunkPipeline::Compressed ChunkPipeline::TakeOldest()
{
    const size_t oldest = (filling_ + slots_.size() - inFlight_) % slots_.size();
    Slot& s = slots_[oldest];
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&s] { return s.done; });
    }
    --inFlight_;
    return {s.tag, {s.out.get(), s.outBytes}};
}

void ChunkPipeline::Work(ChunkDeflater& deflater, char* shuffled)
{
    for (;;) {
        size_t slot = 0;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_)
                return;
            slot = queue_.front();
            queue_.pop_front();
        }
        Slot& s = slots_[slot];
        const char* in = s.in.get();
        if (shuffled) {
            ShuffleChunk(in, shuffled, chunkBytes_, shuffleSize_);
            in = shuffled;
        }
        const size_t n = runs_ ? RunDeflate(reinterpret_cast<const unsigned char*>(in), chunkBytes_,
                                            reinterpret_cast<unsigned char*>(s.out.get()))
                               : deflater.Deflate({in, chunkBytes_}, {s.out.get(), bound_});
        {
            std::lock_guard lock(mutex_);
            s.outBytes = n;
            s.done = true;
        }
        done_.notify_all();
    }
}

} // namespace dataexport
