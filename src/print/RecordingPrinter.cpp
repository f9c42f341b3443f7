#include "print/RecordingPrinter.h"

#include <QStringList>

RecordingPrinter::RecordingPrinter(double pageWidth, double pageHeight) : m_width(pageWidth), m_height(pageHeight)
{
}

std::vector<RecordingPrinter::Line> RecordingPrinter::linesOf(int document) const
{
    std::vector<Line> out;
    for (const Line &l : m_lines) {
        if (document == 0 || l.document == document)
            out.push_back(l);
    }
    return out;
}

QStringList RecordingPrinter::texts() const
{
    QStringList out;
    for (const Line &l : m_lines)
        out << l.text;
    return out;
}

void RecordingPrinter::check(Operation op, const QString &text) const
{
    if (m_failure && m_failure(op, text))
        print::raisePrinterError(QStringLiteral("Testdrucker"));
}

double RecordingPrinter::deviceTextWidth(const print::PrinterFont &font, const QString &text) const
{
    return charWidth(font.size) * text.size();
}

double RecordingPrinter::deviceLineHeight(const print::PrinterFont &font) const
{
    return lineHeight(font.size);
}

void RecordingPrinter::deviceBeginDocument()
{
    check(Operation::BeginDocument);
    ++m_started;
    m_page = 1;
}

void RecordingPrinter::deviceDrawText(const print::PrinterFont &font, double x, double y, const QString &text)
{
    check(Operation::Draw, text);
    m_lines.push_back(Line{m_started, m_page, x, y, text, font});
}

void RecordingPrinter::deviceNewPage()
{
    check(Operation::NewPage);
    ++m_page;
}

void RecordingPrinter::deviceEndDocument()
{
    check(Operation::EndDocument);
    ++m_ended;
}

void RecordingPrinter::deviceFontChanged(const print::PrinterFont &)
{
    check(Operation::Font);
}
