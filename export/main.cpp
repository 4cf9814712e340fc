// vfon-export: background and radio data files to CSV and HDF5.
#include <iostream>

#include "export/ExportOptions.h"
#include "export/ExportRun.h"

int main(int argc, char** argv)
{
    CLI::App app{"", "vfon-export"};
    dataexport::ExportOptions options;
    dataexport::AddOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? dataexport::kExitDone : dataexport::kExitFailed;
    }
    return dataexport::RunExport(options, std::cerr);
}
