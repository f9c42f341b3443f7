#pragma once

#include "print/Printer.h"

#include <QPainter>
#include <QPrinter>

// The system's current printer through Qt's print support. Twips map to the
// device's dots at its own resolution; the page is the printable area.
class SystemPrinter : public print::Printer
{
public:
    // pdfFile: write the documents into this file instead of sending them
    // to the printer (a print to file).
    explicit SystemPrinter(const QString &pdfFile = QString());
    ~SystemPrinter() override;

    // The system's print dialog for this printer: 0 chosen, CancelError
    // cancelled.
    int selectPrinter();

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
    QFont qfont(const print::PrinterFont &font) const;
    double toDevice(double twips) const;
    double toTwips(double dots) const;

    QPrinter m_printer;
    QPainter m_painter;
};
