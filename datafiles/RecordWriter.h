#pragma once
// Writing the records of a run so that a cut at any moment (a kill, a power
// cut, a full disk) never leaves a record that reads as more than was saved.
//
// A frame grows in place: each save writes only what is new since the last
// one. The point that was the end of the recording is first marked as not
// saved (a time no clock gives), then the new points and the new end marker
// go in, then the spectra, and last that point's own time: until this final
// eight-byte step the readers find the recording ending where it ended
// before, every earlier point whole with its time. Each step is synced
// before the next. An event or a frame in a slot of its own is written front
// to back, so a cut leaves a partial tail that the readers pass over.
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace recfile {

/// Saves the first `points` points (0..600) of `frame` into record `index`
/// of the background file `path`, `saved` of them (0 for a slot not yet
/// written) being on disk from an earlier save of the same frame. With fewer
/// than 600 points the points after them read as the end of the recording,
/// the first of them with the time `end`. Raises rt::EInOutError (with the
/// file's name) when the file is not there or refuses the data.
void SaveFrame(const std::string& path, int32_t index, const TFonKadr& frame, int32_t saved, int32_t points,
               const TPointTime& end);

/// Writes `event` as record `index` of the radio file `path`, synced.
void SaveEvent(const std::string& path, int32_t index, const TRadKadr& event);

/// Syncs the folder that holds `path`, so a file just created there is
/// found after a power cut.
void SyncFolderOf(const std::string& path);

/// Test seams of every write above: each write waits `DelayMs` first; with
/// `CutAfterBytes` ≥ 0 only that many bytes in all reach the file and the
/// rest vanish without an error, as at a power cut; with `Held` every write
/// waits until a later SetWriteSeam lets it go (a disk that does not answer;
/// at most a minute).
struct WriteSeam {
    int DelayMs = 0;
    int64_t CutAfterBytes = -1;
    bool Held = false;
};
void SetWriteSeam(const WriteSeam& seam);
/// Writes that have passed the seam since the process began.
int64_t WritesThroughSeam();

} // namespace recfile
