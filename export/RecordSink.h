#pragma once
// What a command of vfon-export does with the records the walk hands it.
// A command (CSV, HDF5, …) is one sink; the walk reads every file once and
// hands each record to all sinks in turn.
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/OutputFile.h"
#include "datafiles/RadKadr.h"
#include "datafiles/RecordReader.h"

namespace dataexport {

using datafiles::KindOfPath;
using datafiles::OutputError;
using datafiles::RecordKind;
using datafiles::RecordSize;

/// A data file as the walk sees it.
struct SourceFile {
    std::string path;     ///< as given on the command line
    RecordKind kind;
    int64_t records = 0;  ///< whole records
};

/// Receives the records of the walk in file order, record order.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    /// A file begins. A non-empty answer says why the sink sits this file
    /// out (its output exists, say); the walk reports it and counts the file
    /// as skipped, and the other sinks still get it.
    virtual std::string BeginFile(const SourceFile& file) { (void)file; return {}; }
    /// Record `index` (from 0) of a background file.
    virtual void Frame(const SourceFile& file, int64_t index, const TFonKadr& frame) { (void)file, (void)index, (void)frame; }
    /// Record `index` (from 0) of a radio file.
    virtual void Event(const SourceFile& file, int64_t index, const TRadKadr& event) { (void)file, (void)index, (void)event; }
    /// The file's whole records have all been handed over (or reading failed).
    virtual void EndFile(const SourceFile& file) { (void)file; }
    /// After the last file: everything is made final. Throws OutputError
    /// (an output that cannot be written any further: the walk stops, since
    /// every later row would be lost as well).
    virtual void Finish() {}
    /// The walk was stopped by an OutputError: leave nothing half-written.
    virtual void Abandon() {}
};

} // namespace dataexport
