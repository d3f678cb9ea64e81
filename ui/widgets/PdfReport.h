#pragma once
// An HTML page printed to PDF by Qt's own writer (A4, the page's own fonts), for the
// commissioning record. Needs a QGuiApplication; no display: the offscreen platform will do.
#include <string>

// Writes the page to `path` whole or not at all; returns why it could not, empty on success.
std::string WritePdfFromHtml(const std::string& html, const std::string& path);

// The --html-to-pdf mode of the tester: reads the UTF-8 page `in`, writes the PDF `out`.
std::string ConvertHtmlFileToPdf(const std::string& in, const std::string& out);
