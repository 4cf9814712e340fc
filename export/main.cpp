// vfon-export: background and radio data files to CSV and HDF5.
#include <cstdio>
#include <iostream>

#include "export/ExportOptions.h"
#include "export/ExportRun.h"
#include "platform/CliErrorText.h"

int main(int argc, char** argv)
{
    CLI::App app{"", "vfon-export"};
    dataexport::ExportOptions options;
    options.programVersion = VFON_VERSION;
    dataexport::AddOptions(app, options);
    app.set_version_flag("--version", "vfon-export " VFON_VERSION, "Показать версию и выйти");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e); // --help, --version
        // One line, so a service's journal or a script's log shows the fault.
        std::fprintf(stderr, "vfon-export: %s (справка: vfon-export --help)\n", rt::CliErrorText(app, e).c_str());
        return dataexport::kExitFailed;
    }
    return dataexport::RunExport(options, std::cerr);
}
