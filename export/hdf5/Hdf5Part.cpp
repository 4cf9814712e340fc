#include "export/hdf5/Hdf5Part.h"

#include <unistd.h>
#include <utility>

#include "datafiles/FileProblemText.h"
#include "datafiles/OutputFile.h"
#include "export/hdf5/Hdf5Table.h"

namespace dataexport {

void CommitHdf5Part(hid_t& file, const std::string& part, const std::string& path, bool force)
{
    if (H5Fclose(std::exchange(file, -1)) < 0) {
        ::unlink(part.c_str());
        ThrowHdf5(datafiles::About(part, "не дописывается"));
    }
    datafiles::CommitPart(part, path, force);
}

void AbandonHdf5Part(hid_t& file, const std::string& part)
{
    H5Fclose(std::exchange(file, -1));
    ::unlink(part.c_str());
}

} // namespace dataexport
