#pragma once

#include "print/Printer.h"

#include <QPainter>
#include <QPrinter>
#include <memory>

// The system's current printer through Qt's print support. Twips map to the
// device's dots at its own resolution; the page is the printable area.
class SystemPrinter : public print::Printer
{
public:
    // pdfFile: write the documents into this file instead of sending them
    // to the printer (a print to file).
    explicit SystemPrinter(const QString &pdfFile = QString());
    ~SystemPrinter() override;

    // From the next document on, write into this PDF file; an empty name
    // leaves the printer without any target, as on a machine without a queue.
    void printToFile(const QString &pdfFile);

    // The system's print dialog for this printer under the given title:
    // 0 chosen, CancelError cancelled.
    int selectPrinter(const QString &title);

    bool printsToQueue() const override;

protected:
    double devicePageWidth() const override;
    double devicePageHeight() const override;
    double deviceTextWidth(const print::PrinterFont &font, const QString &text) const override;
    double deviceLineHeight(const print::PrinterFont &font) const override;
    void deviceBeginDocument() override;
    void deviceDrawText(const print::PrinterFont &font, double x, double y, const QString &text) override;
    void deviceNewPage() override;
    void deviceEndDocument() override;

private:
    enum class Step { Begin, NewPage, End };

    QFont qfont(const print::PrinterFont &font) const;
    double toDevice(double twips) const;
    double toTwips(double dots) const;
    // What failed, in the clerk's words, with the state the device reports.
    QString failureText(Step step) const;
    [[noreturn]] void fail(Step step);
    // Empty when the file target holds the whole document; otherwise what
    // went wrong, after removing what would pass for a finished print.
    QString unwrittenFileText();
    void renew();

    std::unique_ptr<QPrinter> m_printer;
    QPainter m_painter;
};
