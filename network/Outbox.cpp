#include "network/Outbox.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace net {

Outbox::Outbox(std::string dataDir) : dir_(std::move(dataDir)) {}

std::string Outbox::PathOf(const std::string& name) const
{
    if (dir_.empty())
        return name;
    return dir_.back() == '/' ? dir_ + name : dir_ + "/" + name;
}

void Outbox::Load()
{
    files_.clear();
    std::ifstream in(StatePath());
    std::string line;
    while (std::getline(in, line)) {
        // "<acked>\t<name>"; a name never holds a tab or a slash.
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        const std::string name = line.substr(tab + 1);
        if (name.empty() || name.find('/') != std::string::npos)
            continue;
        OutboxFile f{name, std::strtoll(line.substr(0, tab).c_str(), nullptr, 10)};
        if (f.Acked >= 0)
            Entry(name).Acked = f.Acked;
    }
}

bool Outbox::Save() const
{
    std::ostringstream text;
    for (const OutboxFile& f : files_)
        text << f.Acked << '\t' << f.Name << '\n';
    const std::string body = text.str();
    const std::string tmp = StatePath() + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0640);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, body.data(), body.size()) == static_cast<ssize_t>(body.size());
    const bool ok = written && ::fsync(fd) == 0;
    ::close(fd);
    return ok && std::rename(tmp.c_str(), StatePath().c_str()) == 0;
}

OutboxFile& Outbox::Entry(const std::string& name)
{
    auto it = std::find_if(files_.begin(), files_.end(), [&](const OutboxFile& f) { return f.Name == name; });
    if (it != files_.end())
        return *it;
    files_.push_back({name, 0});
    return files_.back();
}

void Outbox::Forget(const std::string& name)
{
    files_.erase(std::remove_if(files_.begin(), files_.end(), [&](const OutboxFile& f) { return f.Name == name; }),
                 files_.end());
}

} // namespace net
