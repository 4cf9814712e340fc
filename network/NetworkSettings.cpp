#include "network/NetworkSettings.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace net {
namespace {

std::string Trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

/// Why `path` cannot be read as a regular file (empty when it can).
std::string FileProblem(const std::string& path, const char* what)
{
    struct stat st{};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || access(path.c_str(), R_OK) != 0)
        return std::string(what) + " «" + path + "» не читается";
    return {};
}

} // namespace

WholeRecords WholeRecordsOf(const NetworkSettings& s)
{
    if (s.Records == "events")
        return WholeRecords::Events;
    return s.Records == "none" ? WholeRecords::None : WholeRecords::All;
}

std::string RecordsProblem(const std::string& text)
{
    if (text.empty() || text == "all" || text == "events" || text == "none")
        return {};
    return "«" + text + "» не одно из all, events, none";
}

std::string CheckSettings(const NetworkSettings& s)
{
    if (!s.Enabled())
        return {};
    if (std::string why = RecordsProblem(s.Records); !why.empty())
        return "--records: " + why;
    protocol::BrokerAddress a;
    if (std::string why = protocol::ParseBrokerAddress(s.Publish, a); !why.empty())
        return why;
    if (s.Station.empty())
        return "для публикации нужен --station ID";
    if (!datafiles::ValidStationId(s.Station))
        return "идентификатор станции «" + s.Station + "» недопустим: 1–32 знака из A–Z a–z 0–9 _ -";
    if (a.Tls && s.CaFile.empty())
        return "для mqtts:// нужен --mqtt-cafile FILE";
    if (!s.CaFile.empty())
        if (std::string why = FileProblem(s.CaFile, "файл сертификатов"); !why.empty())
            return why;
    if (!s.PasswordFile.empty())
        if (std::string why = FileProblem(s.PasswordFile, "файл пароля"); !why.empty())
            return why;
    return {};
}

NetworkSettings ReadHiveNetwork(const std::string& hiveFile)
{
    NetworkSettings s;
    struct stat st{};
    if (hiveFile.empty() || stat(hiveFile.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return s;
    std::ifstream in(hiveFile);
    bool inSection = false;
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            inSection = Lower(line) == "[network]";
            continue;
        }
        const size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos)
            continue;
        const std::string key = Lower(Trim(line.substr(0, eq)));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "publish")
            s.Publish = value;
        else if (key == "station")
            s.Station = value;
        else if (key == "mqtt_cafile")
            s.CaFile = value;
        else if (key == "mqtt_user")
            s.User = value;
        else if (key == "mqtt_password_file")
            s.PasswordFile = value;
        else if (key == "records")
            s.Records = value;
    }
    return s;
}

NetworkSettings Merge(const NetworkSettings& base, const NetworkSettings& over)
{
    auto pick = [](const std::string& a, const std::string& b) { return b.empty() ? a : b; };
    NetworkSettings s;
    s.Publish = pick(base.Publish, over.Publish);
    s.Station = pick(base.Station, over.Station);
    s.CaFile = pick(base.CaFile, over.CaFile);
    s.User = pick(base.User, over.User);
    s.PasswordFile = pick(base.PasswordFile, over.PasswordFile);
    s.Records = pick(base.Records, over.Records);
    return s;
}

} // namespace net
