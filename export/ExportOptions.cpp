#include "export/ExportOptions.h"

namespace dataexport {

void AddOptions(CLI::App& app, ExportOptions& o)
{
    app.description(
        "Exports background frame files (.fon) and radio event files (.Rad) to CSV and HDF5.\n"
        "The record layouts and the columns are described in docs/formats.md.");
    app.add_option("files", o.files, "Data files (.fon, .Rad), exported in the order given")->required();
    app.add_option("--csv", o.csvDir,
                   "Write CSV files into DIR (created if missing): per .fon NAME.frames.csv,\n"
                   "NAME.points.csv, NAME.spectra.csv; per .Rad NAME.events.csv, NAME.samples.csv")
        ->type_name("DIR");
    app.add_option("--hdf5", o.hdf5Out, "Write all inputs into one HDF5 file with the datasets\n"
                                        "'frames' and 'events'")
        ->type_name("OUT.h5");
    app.add_option("--trend", o.trendOut,
                   "Write per frame and channel of the .fon inputs: points, mean rate, centre of the\n"
                   "peak and slope b of the integral spectrum (bounds 10 and 225), one CSV line each")
        ->type_name("OUT.csv");
    app.add_option("--deflate", o.level, "Deflate level of the HDF5 datasets, 0 (none) to 9")
        ->type_name("LEVEL")
        ->check(CLI::Range(0, 9))
        ->capture_default_str();
    app.add_flag("-f,--force", o.force, "Replace outputs that exist (otherwise they are kept and reported)");
    app.add_flag("-q,--quiet", o.quiet, "No progress line; problems and the summary are still written");
    app.footer("Exit status: 0 everything exported; 1 outputs complete but some input left out\n"
               "(unreadable or non-regular file, torn last record, existing output); 2 bad command\n"
               "line or an output could not be written. Outputs are written under NAME.part and\n"
               "renamed when complete, so a file that exists is always whole.\n\n"
               "Example: vfon-export *.fon *.Rad --hdf5 station.h5 --csv csv/\n"
               "         vfon-export 2026/*.fon --trend health.csv");
}

} // namespace dataexport
