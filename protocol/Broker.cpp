#include "protocol/Broker.h"

#include <cctype>
#include <charconv>
#include <fstream>

namespace protocol {

std::string ParseBrokerAddress(const std::string& url, BrokerAddress& out)
{
    const std::string bad = "адрес брокера «" + url + "» не вида mqtt://УЗЕЛ:ПОРТ или mqtts://УЗЕЛ:ПОРТ";
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        out.Tls = false;
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        out.Tls = true;
        rest = url.substr(8);
    } else {
        return bad;
    }
    const size_t colon = rest.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return bad;
    out.Host = rest.substr(0, colon);
    if (out.Host.front() == '[' && out.Host.back() == ']')
        out.Host = out.Host.substr(1, out.Host.size() - 2);
    for (char c : out.Host)
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '@')
            return bad;
    const std::string port = rest.substr(colon + 1);
    int value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
        return bad;
    out.Port = value;
    return {};
}

std::string ReadPassword(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    return line;
}

} // namespace protocol
