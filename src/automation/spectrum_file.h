// The spectrum data file: a 4-byte little-endian row count followed by that many rows of 128
// doubles, named from the UTC time of saving and the nominal carrier. Save, Load, the script's
// "save" and the batch search all go through here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/platform_services.h"

namespace sorv {

class CSorvantelDoc;

// "sorvantel_%Y%m%d%H%M%S.svl" from a UTC time, with "_%3.1lf" of the carrier ("." as "_")
// before the extension when the carrier is not zero.
std::string SpectrumFileName(const CalendarTime& utc, double carrierKHz);

// What a recognised name carries: a whole number of kHz and the stamp "YYYYMMDD HHMM ".
struct RecognisedSpectrumName {
    double carrierKHz = 0.0;
    std::string timeStamp;
};
// Looks at the part after the last '/' only; comparisons are case-sensitive.
std::optional<RecognisedSpectrumName> RecogniseSpectrumFileName(const std::string& path);

enum class SpectrumFileStatus {
    Ok,
    OpenFailed,   // the file could not be opened or created
    NotRegular,   // a FIFO, a device or a folder: refused unread (a FIFO would block)
    BadHeader,    // shorter than its count field, or a count outside 0..65536 (nothing changed)
    ReadFailed,   // the system reported an error while reading the rows
    WriteFailed,  // the system reported an error while writing (the old file is intact)
    DiskFull,     // the same, for want of space
};

// Writes rows [0, rows) through a temporary file in the same folder, renamed into place only
// when complete, so an existing file survives every failure.
SpectrumFileStatus WriteSpectrumFile(const std::string& path, const double (*power)[128], int rows);

// Reads a file into the document: checks the count before changing anything, then applies the
// name's carrier and stamp (when recognised), sets m_nRows, replaces the rows the file holds
// (rows beyond a short file's end keep their contents) and derives their display levels.
SpectrumFileStatus LoadSpectrumRows(CSorvantelDoc& doc, const std::string& path);

// Applies a recognised name's carrier and stamp to the document; false when not recognised.
bool ApplySpectrumFileName(CSorvantelDoc& doc, const std::string& path);

// The message for a failed read or write, naming the file; empty for Ok.
std::string SpectrumFileMessage(SpectrumFileStatus status, const std::string& path, bool writing);

// The script's "save": into the log directory under the generated name, even with 0 rows.
// A file that cannot be created is passed over silently; a write that fails is reported.
// Returns how it went, and the path it wrote (or tried to) in path when given.
SpectrumFileStatus SaveSpectrumToLogDirectory(CSorvantelDoc& doc, std::string* path = nullptr);

}  // namespace sorv
