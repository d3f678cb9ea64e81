#include "ui/widgets/PdfReport.h"

#include <QBuffer>
#include <QFile>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QAbstractTextDocumentLayout>
#include <QTextDocument>

#include "link/ToolFiles.h"

namespace {

constexpr int kResolutionDpi = 300;
constexpr double kMarginMm = 12;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

std::string WritePdfFromHtml(const std::string& html, const std::string& path) {
    // Made in memory first: a half-written file must not pass for a report.
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolutionDpi);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter));
        writer.setCreator("ornix-tester");
        // Laid out on the writer itself: points are the page's points, and the page is the
        // page less its margins (unpaginated, print() would add margins of its own).
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&writer);
        document.setPageSize(writer.pageLayout().paintRectPixels(kResolutionDpi).size());
        document.setDocumentMargin(0);
        document.setHtml(Q(html));
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        document.print(&writer);
    }
    if (pdf.isEmpty()) return "не удалось составить PDF";
    // Whole or not at all: an older report stays as it was when the new one cannot be written.
    const std::string reason = WriteFileWhole(path, pdf.toStdString());
    return reason.empty() ? reason : "не могу записать " + path + ": " + reason;
}

std::string ConvertHtmlFileToPdf(const std::string& in, const std::string& out) {
    QFile file(Q(in));
    if (!file.open(QIODevice::ReadOnly)) return "не могу прочитать " + in + ": " + file.errorString().toStdString();
    return WritePdfFromHtml(file.readAll().toStdString(), out);
}
