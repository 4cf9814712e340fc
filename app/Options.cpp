#include "app/Options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <limits>

namespace app {

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode)
{
    Options o;
    CLI::App cli{"Снятие фона и регистрация ливней.\n"
                 "Без параметров запускается оконная программа. С --headless запись идёт без окна:\n"
                 "платы берутся из драйвера, указанного в реестре (файл из VFON_HIVE, если задан),\n"
                 "файлы .fon и .Rad пишутся в текущий каталог, раз в секунду печатается строка хода\n"
                 "работы; SIGINT, SIGTERM или SIGHUP останавливают запись с записью кадра.",
                 "vfon"};
    cli.allow_extras(); // the window program passes the rest on to Qt
    cli.add_flag("--headless", o.Headless, "Запись без окна");
    cli.add_option("--seconds", o.Seconds, "Остановить запись через N секунд (по умолчанию: до сигнала)")
        ->check(CLI::NonNegativeNumber);
    cli.add_option("--data-dir", o.DataDir, "Каталог файлов .fon и .Rad (по умолчанию: текущий)")
        ->check(CLI::ExistingDirectory);
    const auto gain = CLI::Range(std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
    std::vector<int32_t> limits, radioGains, fonGains;
    cli.add_option("--limits", limits, "Ограничения каналов фона 1-4 (по умолчанию 14,20,16,20)")
        ->delimiter(',')
        ->expected(4);
    cli.add_option("--radio-gains", radioGains, "Усиления радиоканалов 1-6 (по умолчанию 20,20,5,5,100,100)")
        ->delimiter(',')
        ->expected(6)
        ->check(gain);
    cli.add_option("--fon-gains", fonGains, "Усиления каналов фона 1-4 (по умолчанию 100,100,100,100)")
        ->delimiter(',')
        ->expected(4)
        ->check(gain);
    try {
        cli.parse(argc, argv);
        if (o.Headless && !cli.remaining().empty())
            throw CLI::ExtrasError(cli.remaining());
    } catch (const CLI::ParseError& e) {
        exitCode = cli.exit(e);
        return std::nullopt;
    }
    std::copy(limits.begin(), limits.end(), o.Limits.begin());
    std::copy(radioGains.begin(), radioGains.end(), o.RadioGains.begin());
    std::copy(fonGains.begin(), fonGains.end(), o.FonGains.begin());
    return o;
}

} // namespace app
