#include "app/Options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <limits>

#include "platform/CliErrorText.h"

namespace app {
namespace {

/// A bound as the operator would write it: 2147483, not 2147483.000000.
std::string BoundText(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

/// Refuses a value outside [lo, hi] or not a number, naming the range.
template <typename T>
CLI::Validator InRange(T lo, T hi)
{
    const std::string range = BoundText(lo) + "…" + BoundText(hi);
    return CLI::Validator(
        [lo, hi, range](std::string& text) {
            T value{};
            if (!CLI::detail::lexical_cast(text, value))
                return "«" + text + "» не число (допустимо " + range + ")";
            if (value < lo || value > hi)
                return text + " вне пределов " + range;
            return std::string();
        },
        range);
}

constexpr int16_t kInt16Min = std::numeric_limits<int16_t>::min();
constexpr int16_t kInt16Max = std::numeric_limits<int16_t>::max();
/// The longest --seconds a run's timer can count (its milliseconds fit an int).
constexpr double kMaxSeconds = std::numeric_limits<int>::max() / 1000;

/// The run's settings: limits and gains, each a list of values.
void AddSettingOptions(CLI::App& cli, std::vector<int32_t>& limits, std::vector<int32_t>& radioGains,
                       std::vector<int32_t>& fonGains)
{
    cli.add_option("--limits", limits, "Ограничения каналов фона 1-4 (по умолчанию 14,20,16,20)")
        ->type_name("L1,L2,L3,L4")
        ->delimiter(',')
        ->expected(4)
        ->check(InRange<int32_t>(kInt16Min, kInt16Max));
    cli.add_option("--radio-gains", radioGains, "Усиления радиоканалов 1-6 (по умолчанию 20,20,5,5,100,100)")
        ->type_name("G1,…,G6")
        ->delimiter(',')
        ->expected(6)
        ->check(InRange<int32_t>(kInt16Min, kInt16Max));
    cli.add_option("--fon-gains", fonGains, "Усиления каналов фона 1-4 (по умолчанию 100,100,100,100)")
        ->type_name("G1,…,G4")
        ->delimiter(',')
        ->expected(4)
        ->check(InRange<int32_t>(kInt16Min, kInt16Max));
}

/// The broker, the station and the credentials.
void AddNetworkOptions(CLI::App& cli, net::NetworkSettings& n)
{
    cli.add_option("--publish", n.Publish, "Публиковать состояние и данные через брокер MQTT")
        ->type_name("mqtt://HOST:PORT");
    cli.add_option("--station", n.Station, "Идентификатор станции: 1-32 знака из A-Z a-z 0-9 _ -")
        ->type_name("ID");
    cli.add_option("--mqtt-cafile", n.CaFile, "Сертификаты УЦ для mqtts://")->type_name("FILE");
    cli.add_option("--mqtt-user", n.User, "Имя пользователя у брокера")->type_name("NAME");
    cli.add_option("--mqtt-password-file", n.PasswordFile, "Файл, первая строка которого - пароль")
        ->type_name("FILE");
    cli.add_option("--records", n.Records,
                   "Какие записи отправлять в центр целиком, как в файлах: all - кадры и события\n"
                   "(по умолчанию), events - только события (кадры - их числами), none - ничего\n"
                   "целиком, только числа")
        ->type_name("all|events|none")
        ->check(CLI::Validator([](std::string& text) { return net::RecordsProblem(text); }, "all|events|none"));
}

/// The station ID and the broker address as given; false, with the reason
/// on stderr, when one is not valid.
bool NetworkOptionsValid(const net::NetworkSettings& n)
{
    if (!n.Station.empty() && !datafiles::ValidStationId(n.Station)) {
        std::fprintf(stderr, "vfon: --station: идентификатор «%s» недопустим: 1–32 знака из A–Z a–z 0–9 _ -\n",
                     n.Station.c_str());
        return false;
    }
    if (protocol::BrokerAddress a; !n.Publish.empty()) {
        if (const std::string why = protocol::ParseBrokerAddress(n.Publish, a); !why.empty()) {
            std::fprintf(stderr, "vfon: --publish: %s\n", why.c_str());
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode)
{
    Options o;
    CLI::App cli{"Снятие фона и регистрация ливней.\n"
                 "Без --headless запускается оконная программа. С --headless запись идёт без окна:\n"
                 "платы берутся из драйвера, указанного в реестре (файл из VFON_HIVE, если задан,\n"
                 "иначе /etc/vfon/registry.ini или ~/.config/vfon/registry.ini), файлы .fon и .Rad\n"
                 "пишутся в каталог данных, печатается строка хода работы (раз в секунду на\n"
                 "терминал, раз в минуту иначе); SIGINT, SIGTERM или SIGHUP останавливают запись\n"
                 "с записью кадра.",
                 "vfon"};
    cli.set_version_flag("--version", "vfon " VFON_VERSION, "Показать версию и выйти");
    cli.set_help_flag("-h,--help", "Показать эту справку и выйти");
    CLI::Option* headless = cli.add_flag("--headless", o.Headless, "Запись без окна");
    cli.add_option("--seconds", o.Seconds, "Остановить запись через N секунд (по умолчанию: до сигнала)")
        ->type_name("N")
        ->check(InRange(0.0, kMaxSeconds))
        ->needs(headless);
    cli.add_option("--progress-interval", o.ProgressInterval,
                   "Строка хода работы раз в S секунд (по умолчанию 1 на терминал, 60 иначе)")
        ->type_name("S")
        ->check(InRange(1, 86400))
        ->needs(headless);
    cli.add_option("--data-dir", o.DataDir, "Каталог файлов данных (по умолчанию: текущий)")->type_name("DIR");
    std::vector<int32_t> limits, radioGains, fonGains;
    AddSettingOptions(cli, limits, radioGains, fonGains);
    AddNetworkOptions(cli, o.Network);
    cli.footer("Коды выхода: 0 запись остановлена, все записи сохранены (оконная программа: закрыта);\n"
               "1 запись не началась или остановлена ошибкой драйвера; 2 неверная командная строка\n"
               "или каталог данных, либо запись не удалось сохранить.");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            exitCode = cli.exit(e); // --help, --version
            return std::nullopt;
        }
        std::fprintf(stderr, "vfon: %s (справка: vfon --help)\n", rt::CliErrorText(cli, e).c_str());
        exitCode = kExitUsage;
        return std::nullopt;
    }
    if (!NetworkOptionsValid(o.Network)) {
        exitCode = kExitUsage;
        return std::nullopt;
    }
    std::copy(limits.begin(), limits.end(), o.Limits.begin());
    std::copy(radioGains.begin(), radioGains.end(), o.RadioGains.begin());
    std::copy(fonGains.begin(), fonGains.end(), o.FonGains.begin());
    return o;
}

net::NetworkSettings ResolveNetwork(const Options& o, const std::string& hiveFile, std::string& error)
{
    const net::NetworkSettings s = net::Merge(net::ReadHiveNetwork(hiveFile), o.Network);
    error = net::CheckSettings(s);
    return s;
}

int ProgressSeconds(const Options& o, bool stdoutIsTerminal)
{
    if (o.ProgressInterval > 0)
        return o.ProgressInterval;
    return stdoutIsTerminal ? 1 : 60;
}

} // namespace app
