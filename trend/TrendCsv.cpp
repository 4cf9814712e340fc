#include "trend/TrendCsv.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr size_t kFlushBytes = size_t{1} << 20;

/// Shortest text that reads back as the same value; "." as decimal point
/// (std::to_chars ignores the locale). Empty for NaN.
template <class T>
void AppendNumber(std::string& s, T v)
{
    if (std::isnan(v))
        return;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    s.append(buf, r.ptr);
}

/// The output file, written through a buffer and removed unless committed.
class CsvOut {
public:
    CsvOut(const std::string& path, bool overwrite, std::string& error) : path_(path)
    {
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
        fd_ = ::open(path.c_str(), flags, 0644);
        if (fd_ < 0)
            error = path + ": " + (errno == EEXIST ? "файл уже есть, не перезаписан" : std::strerror(errno));
    }
    ~CsvOut()
    {
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(path_.c_str());
        }
    }
    bool Open() const { return fd_ >= 0; }
    std::string& Buffer() { return buf_; }

    /// Writes the buffer out when it is large (or always, with `force`).
    bool Flush(bool force, std::string& error)
    {
        if (buf_.size() < kFlushBytes && !force)
            return true;
        size_t done = 0;
        while (done < buf_.size()) {
            const ssize_t n = ::write(fd_, buf_.data() + done, buf_.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = path_ + ": " + (n < 0 ? std::strerror(errno) : "запись не идёт");
                return false;
            }
            done += static_cast<size_t>(n);
        }
        buf_.clear();
        return true;
    }

    /// Writes the rest and closes; the file stays.
    bool Commit(std::string& error)
    {
        if (!Flush(true, error))
            return false;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) {
            error = path_ + ": " + std::strerror(errno);
            ::unlink(path_.c_str());
            return false;
        }
        return true;
    }

private:
    std::string path_;
    int fd_ = -1;
    std::string buf_;
};

} // namespace

std::string TrendCsvHeader()
{
    return "file,frame,start,channel,points,rate,centre,b";
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string q = "\"";
    for (char ch : text) {
        if (ch == '"')
            q += '"';
        q += ch;
    }
    q += '"';
    return q;
}

int WriteTrendCsv(const std::vector<std::string>& files, const std::string& out, const TrendCsvOptions& options)
{
    auto error = [&options](const std::string& message) {
        if (options.Error)
            options.Error(message);
    };
    std::string failure;
    CsvOut csv(out, options.Overwrite, failure);
    if (!csv.Open()) {
        error(failure);
        return kTrendCsvFailed;
    }
    std::string& s = csv.Buffer();
    s = TrendCsvHeader() + "\r\n";

    // The scan stops on the caller's cancel and on a failed write alike.
    auto cancelled = [&options] { return options.Cancel && options.Cancel->load(std::memory_order_relaxed); };
    std::atomic<bool> stop = cancelled();
    ScanCallbacks cb;
    cb.Cancel = &stop;
    cb.Progress = [&](const ScanProgress& p) {
        if (cancelled())
            stop = true;
        if (options.Progress)
            options.Progress(p);
    };
    cb.Issue = [&](const FileIssue& issue) { error(files[issue.File] + ": " + issue.Message.toStdString()); };
    size_t quotedFor = SIZE_MAX;
    std::string name;
    cb.Frame = [&](size_t file, int32_t record, const FrameNumbers& n) {
        if (!failure.empty())
            return;
        if (quotedFor != file) {
            name = CsvField(files[file]);
            quotedFor = file;
        }
        const std::string start = StampIso(n.Start);
        char num[16];
        for (int c = 1; c <= kFonChannels; ++c) {
            const ChannelNumbers& ch = n.Channels[static_cast<size_t>(c - 1)];
            s += name;
            s += ',';
            s.append(num, std::to_chars(num, num + sizeof num, record + 1).ptr);
            s += ',';
            s += start;
            s += ',';
            s.append(num, std::to_chars(num, num + sizeof num, c).ptr);
            s += ',';
            s.append(num, std::to_chars(num, num + sizeof num, n.Points).ptr);
            s += ',';
            AppendNumber(s, ch.Rate);
            s += ',';
            if (ch.HasCentre())
                s.append(num, std::to_chars(num, num + sizeof num, ch.Centre).ptr);
            s += ',';
            AppendNumber(s, ch.B);
            s += "\r\n";
        }
        if (!csv.Flush(false, failure)) {
            error(failure);
            stop = true;
        }
    };
    const ScanSummary summary = ScanFonFiles(files, cb);
    if (!failure.empty())
        return kTrendCsvFailed;
    if (summary.Cancelled) {
        error(out + ": прервано, файл не записан");
        return kTrendCsvFailed;
    }
    if (!csv.Commit(failure)) {
        error(failure);
        return kTrendCsvFailed;
    }
    return summary.HadIssues() ? kTrendCsvSkipped : kTrendCsvOk;
}
