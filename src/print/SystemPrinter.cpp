#include "print/SystemPrinter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPrintDialog>
#include <QWidget>

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

SystemPrinter::SystemPrinter(const QString &pdfFile) : m_printer(QPrinter::HighResolution)
{
    if (!pdfFile.isEmpty()) {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(pdfFile);
    }
}

SystemPrinter::~SystemPrinter()
{
    // A document left open by a failed run is still sent rather than lost.
    if (m_painter.isActive())
        m_painter.end();
}

int SystemPrinter::selectPrinter()
{
    // While a document is open the printer cannot be switched; the choice
    // then applies from the next document on.
    QPrintDialog dialog(&m_printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted ? 0 : print::CancelError;
}

double SystemPrinter::toDevice(double twips) const
{
    return twips * m_printer.resolution() / kTwipsPerInch;
}

double SystemPrinter::toTwips(double dots) const
{
    return dots * kTwipsPerInch / m_printer.resolution();
}

QFont SystemPrinter::qfont(const print::PrinterFont &font) const
{
    QFont f(font.name);
    f.setPointSizeF(font.size);
    f.setBold(font.bold);
    f.setUnderline(font.underline);
    return f;
}

double SystemPrinter::devicePageWidth() const
{
    return m_printer.pageLayout().paintRect(QPageLayout::Inch).width() * kTwipsPerInch;
}

double SystemPrinter::devicePageHeight() const
{
    return m_printer.pageLayout().paintRect(QPageLayout::Inch).height() * kTwipsPerInch;
}

double SystemPrinter::deviceTextWidth(const print::PrinterFont &font, const QString &text) const
{
    auto *device = const_cast<QPrinter *>(&m_printer);
    return toTwips(QFontMetricsF(qfont(font), device).horizontalAdvance(text));
}

double SystemPrinter::deviceLineHeight(const print::PrinterFont &font) const
{
    auto *device = const_cast<QPrinter *>(&m_printer);
    return toTwips(QFontMetricsF(qfont(font), device).height());
}

void SystemPrinter::deviceBeginDocument()
{
    if (!m_painter.begin(&m_printer))
        print::raisePrinterError(QStringLiteral("Der Drucker nimmt keinen Auftrag an."));
}

void SystemPrinter::deviceDrawText(const print::PrinterFont &font, double x, double y, const QString &text)
{
    if (text.isEmpty())
        return;
    const QFont f = qfont(font);
    m_painter.setFont(f);
    const QFontMetricsF metrics(f, &m_printer);
    // A remark may hold line breaks or tabs; on one printed line they are gaps.
    QString line = text;
    for (QChar &c : line) {
        if (c.unicode() < 32)
            c = QLatin1Char(' ');
    }
    m_painter.drawText(QPointF(toDevice(x), toDevice(y) + metrics.ascent()), line);
}

void SystemPrinter::deviceNewPage()
{
    if (!m_printer.newPage())
        print::raisePrinterError(QStringLiteral("Neue Seite nicht möglich."));
}

void SystemPrinter::deviceEndDocument()
{
    if (m_painter.isActive() && !m_painter.end())
        print::raisePrinterError(QStringLiteral("Der Auftrag konnte nicht abgeschlossen werden."));
}
