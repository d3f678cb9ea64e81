#include "cli/CliReport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli/CliPdf.h"
#include "cli/CliSettingsFile.h"
#include "commands/SettingsReport.h"
#include "link/ToolFiles.h"

namespace {

const char* const kCommand = "settings report";

// The page in a file of its own for the printer, removed again whatever came of it.
std::string PrintPdf(const std::string& printer, const std::string& html, const std::string& pdf) {
    char page[] = "/tmp/ornix-cli-report-XXXXXX";
    const int fd = mkstemp(page);
    if (fd < 0) return "Не могу создать временный файл для " + pdf;
    const bool written = ::write(fd, html.data(), html.size()) == ssize_t(html.size());
    ::close(fd);
    const std::string failure = written ? PrintHtmlToPdf(printer, page, pdf) : "Не могу записать " + std::string(page);
    ::unlink(page);
    return failure;
}

int Ended(const CliContext& c, int exit, const std::string& error, const std::string& file) {
    if (c.Json) {
        nlohmann::ordered_json out = {{"command", kCommand}, {"exit", exit}, {"ok", exit == kExitDone}};
        if (error.empty()) out["file"] = file;
        else out["error"] = {{"text", error}};
        std::cout << out.dump(2) << "\n";
    } else if (error.empty()) {
        std::cout << "Отчёт записан в " << file << "\n";
    } else {
        std::cerr << "ornix-cli: " << kCommand << ": " << error << "\n";
    }
    return exit;
}

}  // namespace

int CliSettingsReport(const CliContext& c, const std::string& file, const std::string& tool) {
    const ReportFormat format = ReportFormatOf(file);
    if (format == ReportFormat::None) return CliRefuse(c, kCommand, ReportFormatRefusal(file));
    // Both found before the controller is read: a long read for a file that cannot be written,
    // or a PDF nobody can print, helps no one.
    const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
    if (::access(folder.c_str(), W_OK) != 0) return CliRefuse(c, kCommand, "Не могу записать в папку " + folder.string());
    std::string printer;
    if (format == ReportFormat::Pdf) {
        printer = PdfPrinterPath(ExecutablePath(), std::getenv("PATH"));
        if (printer.empty())
            return CliRefuse(c, kCommand,
                             "PDF печатает ornix-tester, а его нет ни рядом с ornix-cli, ни в PATH; отчёт в .html "
                             "можно записать и без него");
    }
    CliOutcome o;
    const auto job = CliReadSettings(c, o);
    if (o.Exit != kExitDone) return Ended(c, o.Exit, o.Reason, file);
    const std::string html = CommissioningReportHtml(CommissioningReportOf(job->Read, tool));
    std::string failure;
    if (format == ReportFormat::Pdf)
        failure = PrintPdf(printer, html, file);
    else if (!WriteFileWhole(file, html).empty())
        failure = "Не могу записать " + file;
    return Ended(c, failure.empty() ? kExitDone : kExitNoLink, failure, file);
}
