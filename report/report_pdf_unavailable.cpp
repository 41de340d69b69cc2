// A build without Qt has no PDF writer: the report is refused with a reason.
#include "report_pdf.h"

bool report_pdf_available() { return false; }

std::string write_report_pdf(const ReportContent&, const std::string&) { return kNoReportPdf; }
