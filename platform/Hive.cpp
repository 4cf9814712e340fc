#include "platform/Hive.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace hive {

struct HiveKey {
    std::map<std::string, std::string> values; // lower-cased names
};
namespace {
HiveKey g_root;
std::string g_override;
std::string g_problem;

/// The text of the hive file; false (with the reason in g_problem) when it
/// cannot be read. A pipe or a device is refused without waiting on it.
bool ReadHive(const std::string& path, std::string& text)
{
    g_problem.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        g_problem = path + ": не обычный файл (папка, канал или устройство)";
        ::close(fd);
        return false;
    }
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string Strip(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool Exists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}
} // namespace

const HKEY HKEY_LOCAL_MACHINE = &g_root;

std::string MachineHivePath() { return "/etc/vfon/registry.ini"; }

std::string UserHivePath()
{
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config/vfon/registry.ini";
}

std::string HivePath()
{
    if (!g_override.empty())
        return g_override;
    // A service or a test names its own hive; a machine-wide one would
    // otherwise shadow every other.
    if (const char* env = std::getenv("VFON_HIVE"); env && *env)
        return env;
    return Exists(MachineHivePath()) ? MachineHivePath() : UserHivePath();
}

void SetHivePath(const std::string& path) { g_override = path; }

std::string LastProblem() { return g_problem; }

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, DWORD, HKEY* result)
{
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    return OpenKeyInFile(HivePath(), subKey, result);
}

LONG OpenKeyInFile(const std::string& file, const char* subKey, HKEY* result)
{
    if (!subKey || !result)
        return ERROR_INVALID_HANDLE;
    std::string text;
    if (!ReadHive(file, text))
        return ERROR_FILE_NOT_FOUND;
    std::istringstream in(text);
    const std::string wanted = Lower(subKey);
    auto key = std::make_unique<HiveKey>();
    bool inSection = false, found = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string s = Strip(line);
        if (s.empty() || s[0] == ';' || s[0] == '#')
            continue;
        if (s.front() == '[' && s.back() == ']') {
            inSection = Lower(s.substr(1, s.size() - 2)) == wanted;
            found = found || inSection;
            continue;
        }
        if (!inSection)
            continue;
        const size_t eq = s.find('=');
        if (eq == std::string::npos)
            continue;
        key->values[Lower(Strip(s.substr(0, eq)))] = Strip(s.substr(eq + 1));
    }
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    *result = key.release();
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, uint8_t* data, DWORD* size)
{
    if (!key || key == HKEY_LOCAL_MACHINE || !size)
        return ERROR_INVALID_HANDLE;
    auto it = key->values.find(Lower(valueName ? valueName : ""));
    if (it == key->values.end())
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = REG_SZ;
    const DWORD needed = static_cast<DWORD>(it->second.size() + 1);
    const DWORD room = *size;
    *size = needed;
    if (!data)
        return ERROR_SUCCESS;
    if (needed > room)
        return ERROR_MORE_DATA;
    std::memcpy(data, it->second.c_str(), needed);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (!key || key == HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}

} // namespace hive
