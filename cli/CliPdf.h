#pragma once
// ornix-cli makes no PDF itself (it has no Qt): the tester prints the report's HTML to PDF in
// a mode without a window, "ornix-tester --html-to-pdf IN OUT", run offscreen as a child.
#include <string>

// The tester beside this program (an installed pair, a build folder), else the first on PATH
// (`pathVariable`, may be null); empty when there is none that can be run.
std::string PdfPrinterPath(const std::string& executablePath, const char* pathVariable);

// Runs the printer on `html`, writing `pdf`; empty on success, else why not (its own message
// when it gave one).
std::string PrintHtmlToPdf(const std::string& printer, const std::string& html, const std::string& pdf);
