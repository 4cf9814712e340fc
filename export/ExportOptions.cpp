#include "export/ExportOptions.h"

#include "datafiles/StationId.h"

namespace dataexport {
namespace {

/// The exit codes, the output rule and examples, below the options.
constexpr const char* kFooter =
    "Код выхода: 0 выгружено всё; 1 что-то пропущено, но всё записанное полно: входной\n"
    "файл не читается, не обычный файл, не файл данных или с неполной последней\n"
    "записью, либо выходной файл (--hdf5, --trend или CSV входного файла) уже есть и\n"
    "оставлен как есть (-f заменяет); 2 ошибка в командной строке или выходной файл\n"
    "не записывается. Выходные файлы пишутся под именем ИМЯ.part и переименовываются,\n"
    "когда полны, так что имеющийся выходной файл всегда цел. Каждое сообщение\n"
    "начинается с имени файла или папки, к которой оно относится. Для --hdf5 имя\n"
    "станции берётся из --station или из имени папки входного файла; папка с\n"
    "другим именем — код 2, ничего не записано.\n\n"
    "Пример: vfon-export *.fon *.Rad --hdf5 station.h5 --csv csv/\n"
    "        vfon-export 2026/*.fon --trend health.csv";

} // namespace

void AddOptions(CLI::App& app, ExportOptions& o)
{
    app.description(
        "Выгрузка файлов кадров фона (.fon) и радиособытий (.Rad) в CSV и HDF5.\n"
        "Записи и столбцы описаны в docs/formats.md.");
    app.set_help_flag("-h,--help", "Показать эту справку и выйти");
    app.add_option("files", o.files, "Файлы данных (.fon, .Rad) и папки станций (их файлы данных),\nвыгружаются в заданном порядке")->required();
    app.add_option("--csv", o.csvDir,
                   "Записать файлы CSV в папку DIR (создаётся, когда есть что записать):\n"
                   "для .fon ИМЯ.frames.csv, ИМЯ.points.csv, ИМЯ.spectra.csv;\n"
                   "для .Rad ИМЯ.events.csv, ИМЯ.samples.csv")
        ->type_name("DIR");
    app.add_option("--hdf5", o.hdf5Out, "Записать все входные файлы в один файл HDF5: по группе на\n"
                                        "станцию с таблицами points, frames, spectra, events, trend\n"
                                        "(читаются pandas.read_hdf) и набором event_samples; для двух\n"
                                        "станций и более также совпадения их событий (окно --window):\n"
                                        "таблицы coincidences, coincidence_members, coincidence_accidentals")
        ->type_name("OUT.h5");
    app.add_option("--hdf5-layout", o.hdf5Layout,
                   "Вид файла HDF5: tidy (по умолчанию, см. выше) или records (прежний:\n"
                   "наборы данных 'frames' и 'events' по записи на строку)")
        ->type_name("LAYOUT")
        ->check([](const std::string& v) {
            return v == "tidy" || v == "records" ? std::string() : "«" + v + "»: допустимо tidy или records";
        })
        ->capture_default_str();
    app.add_option("--station", o.station,
                   "Имя станции всех входных файлов (1–32 знака A–Z a–z 0–9 _ -);\n"
                   "по умолчанию имя папки каждого входного файла")
        ->type_name("ID")
        ->check([](const std::string& id) { return datafiles::ValidStationId(id) ? "" : "имя станции: 1–32 знака A–Z a–z 0–9 _ -"; });
    app.add_option("--timezone", o.timezone,
                   "Часовой пояс часов станции (имя IANA, например Europe/Moscow), по\n"
                   "которому местное время записей переводится в UTC; по умолчанию пояс\n"
                   "этой машины")
        ->type_name("ZONE");
    app.add_option("--trend", o.trendOut,
                   "Записать по каждому кадру и каналу входных .fon: точки, средний\n"
                   "счёт, центр пика и наклон b интегрального спектра (границы 10 и 225),\n"
                   "по строке CSV на каждый")
        ->type_name("OUT.csv");
    app.add_option("--coincidences", o.coincidencesOut,
                   "Найти совпадения радиособытий станций: входы — папки станций (их\n"
                   "файлы .Rad; имя станции — имя папки) или файлы .Rad; по строке CSV\n"
                   "на каждое событие совпадения, а ожидаемые случайные совпадения по\n"
                   "парам и кратностям — в ИМЯ.accidentals.csv")
        ->type_name("OUT.csv");
    app.add_option("--window", o.windowMs, "Окно совпадения (--coincidences и --hdf5), мс (от 0.001 до 60000)")
        ->type_name("MS")
        ->check(CLI::Range(0.001, 60000.0))
        ->capture_default_str();
    app.add_option("--deflate", o.level, "Уровень сжатия (deflate) наборов данных HDF5, от 0 (нет) до 9")
        ->type_name("LEVEL")
        ->check([](const std::string& v) {
            return v.size() == 1 && v[0] >= '0' && v[0] <= '9' ? std::string() : "«" + v + "»: допустимо целое от 0 до 9";
        })
        ->capture_default_str();
    app.add_flag("-f,--force", o.force, "Заменять выходные файлы, которые уже есть\n(иначе они остаются как есть)");
    app.add_flag("-q,--quiet", o.quiet, "Без строки хода работы; о сбоях и итог\nсообщается всё равно");
    app.failure_message([](const CLI::App*, const CLI::Error& e) {
        return std::string("ошибка в командной строке (") + e.what() + "); подробнее: vfon-export --help\n";
    });
    app.footer(kFooter);
}

} // namespace dataexport
