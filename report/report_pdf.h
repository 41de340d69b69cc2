// The report as an A4 PDF: a cover, the test record by luminaire (twelve
// month cells a line), the defects and repairs, the deviations, the remarks
// and a signature block; page x of y and the table headings on every page,
// text selectable, every font embedded. It only places the values of
// report_values.h; it knows nothing of the logbook.
#pragma once

#include "report_values.h"

#include <string>

// The save dialog's filter for the report, in the form of the other exports'.
inline constexpr const char* kReportSaveFilter = "PDF document (*.pdf)|*.pdf||";

// Whether this build has the PDF writer: it is drawn with Qt, which the
// Windows cross-build does not have yet.
bool report_pdf_available();
inline constexpr const char* kNoReportPdf =
    "this build has no PDF writer (it is drawn with Qt, which this build lacks)";

// Writes the report at `path` in one step: the file appears whole or not at
// all, and a file there before is replaced only when the new one is
// complete. Empty, or why it could not be written.
std::string write_report_pdf(const ReportContent& content, const std::string& path);
