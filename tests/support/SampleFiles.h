#pragma once
// Sample data files for the viewer's tests: background frames and radio
// events built in memory and written with the data-file code.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

class QPushButton;
class TForm1;

namespace testing_support {

/// A background frame numbered `kadrNo`, started 6-12-2026 9:05:30.012;
/// point k stored at 9:05:(30 + k/20), counts of channel c at point k are
/// c * 1000 + k (never all zero), gains 10, 20, 30, 40, limits 11 to 14.
std::unique_ptr<TFonKadr> MakeFonFrame(int16_t kadrNo);

/// A radio event numbered `eventNo`, picked up 6-12-2026 9:05:30.250;
/// sample i of channel c is ((i + 7 * c) % 200) - 100, gains 1 to 6.
std::unique_ptr<TRadKadr> MakeRadEvent(int16_t eventNo);

/// Creates `path` afresh and writes the records into it, record 0 first.
void WriteFonFile(const std::string& path, const std::vector<std::unique_ptr<TFonKadr>>& frames);
void WriteRadFile(const std::string& path, const std::vector<std::unique_ptr<TRadKadr>>& events);

/// A file of `frames` background frames numbered 1, 2, …
void WriteFonFile(const std::string& path, int frames);
/// A file of `events` radio events numbered 1, 2, …
void WriteRadFile(const std::string& path, int events);

/// Writes `bytes` zero bytes into `path` (a file that is no whole record).
void WriteBytes(const std::string& path, size_t bytes);

/// Switches a file list on with `listButton` and selects `name` in it, which
/// opens the file as a click would; fails the test if anything was reported.
void OpenListed(TForm1& form, QPushButton* listButton, const std::string& name);

} // namespace testing_support
