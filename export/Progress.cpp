#include "export/Progress.h"

#include <charconv>
#include <string>
#include <unistd.h>

namespace dataexport {

std::string OneDecimal(double v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    return std::string(buf, r.ptr);
}

Progress::Progress(std::ostream& out, int64_t totalRecords, bool enabled)
    : out_(out), total_(totalRecords), enabled_(enabled && ::isatty(STDERR_FILENO)),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_)
{
}

double Progress::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Progress::Add(int64_t bytes)
{
    ++done_;
    bytes_ += bytes;
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(200) && done_ != total_)
        return;
    lastDraw_ = now;
    Draw();
}

void Progress::Draw()
{
    const double s = Seconds();
    const double rate = s > 0 ? static_cast<double>(bytes_) / 1e6 / s : 0;
    std::string line = "\r";
    line += std::to_string(done_);
    line += '/';
    line += std::to_string(total_);
    line += " записей  ";
    line += OneDecimal(rate);
    line += " МБ/с   ";
    out_ << line << std::flush;
    shown_ = true;
}

void Progress::Clear()
{
    if (!shown_)
        return;
    out_ << "\r\033[K" << std::flush;
    shown_ = false;
}

} // namespace dataexport
