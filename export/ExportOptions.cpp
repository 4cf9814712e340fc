#include "export/ExportOptions.h"

namespace dataexport {

void AddOptions(CLI::App& app, ExportOptions& o)
{
    app.description(
        "Выгрузка файлов кадров фона (.fon) и радиособытий (.Rad) в CSV и HDF5.\n"
        "Записи и столбцы описаны в docs/formats.md.");
    app.add_option("files", o.files, "Файлы данных (.fon, .Rad), выгружаются в заданном порядке")->required();
    app.add_option("--csv", o.csvDir,
                   "Записать файлы CSV в ПАПКУ (создаётся, когда есть что записать): для .fon\n"
                   "ИМЯ.frames.csv, ИМЯ.points.csv, ИМЯ.spectra.csv; для .Rad ИМЯ.events.csv,\n"
                   "ИМЯ.samples.csv")
        ->type_name("ПАПКА");
    app.add_option("--hdf5", o.hdf5Out, "Записать все входные файлы в один файл HDF5 с наборами\n"
                                        "данных 'frames' и 'events'")
        ->type_name("ФАЙЛ.h5");
    app.add_option("--trend", o.trendOut,
                   "Записать по каждому кадру и каналу входных .fon: точки, средний счёт, центр пика\n"
                   "и наклон b интегрального спектра (границы 10 и 225), по строке CSV на каждый")
        ->type_name("ФАЙЛ.csv");
    app.add_option("--deflate", o.level, "Уровень сжатия (deflate) наборов данных HDF5, от 0 (нет) до 9")
        ->type_name("УРОВЕНЬ")
        ->check(CLI::Range(0, 9))
        ->capture_default_str();
    app.add_flag("-f,--force", o.force, "Заменять выходные файлы, которые уже есть (иначе они остаются как есть)");
    app.add_flag("-q,--quiet", o.quiet, "Без строки хода работы; о сбоях и итог сообщается всё равно");
    app.footer("Код выхода: 0 выгружено всё; 1 что-то пропущено, но всё записанное полно: входной\n"
               "файл не читается, не обычный файл, не файл данных или с неполной последней\n"
               "записью, либо выходной файл (--hdf5, --trend или CSV входного файла) уже есть и\n"
               "оставлен как есть (-f заменяет); 2 ошибка в командной строке или выходной файл\n"
               "не записывается. Выходные файлы пишутся под именем ИМЯ.part и переименовываются,\n"
               "когда полны, так что имеющийся выходной файл всегда цел. Каждое сообщение\n"
               "начинается с имени файла или папки, к которой оно относится.\n\n"
               "Пример: vfon-export *.fon *.Rad --hdf5 station.h5 --csv csv/\n"
               "        vfon-export 2026/*.fon --trend health.csv");
}

} // namespace dataexport
