// The XML validation report: a header section (the media file, the number of
// reports, the first report's module) and one REPORT element per report, line
// by line with CR LF endings. The file is UTF-8, as its declaration says:
// report texts are the program's 8-bit texts (Latin-1), the media file name
// is a path of this system (UTF-8, with bytes that are not taken as Latin-1).
// "&", "<", ">" and quotes are escaped, so any text gives a well-formed file.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "validation/CustomReport.h"

namespace tessaro {

// The lines of the report, without their line ends.
std::vector<std::string> ReportXMLLines(const std::string& mediaFileName, const std::vector<TCustomReport>& reports);

inline constexpr const char* kReportListEmpty = "Report list is empty.";

// Writes the report to fileName: to a temporary file beside it, renamed over
// it once complete, so an existing file is replaced only by a whole report
// and stays as it was when the report cannot be written (whether to replace
// it is the caller's question). Nothing when written; otherwise what to tell
// the user: kReportListEmpty, or "Cannot write FILE: " and the system's reason.
std::optional<std::string> SaveReportXML(const std::string& fileName, const std::string& mediaFileName,
                                         const std::vector<TCustomReport>& reports);

// Element text from an 8-bit Latin-1 text, and from a file name.
std::string XMLTextFromLatin1(const std::string& text);
std::string XMLTextFromFileName(const std::string& fileName);

}  // namespace tessaro
