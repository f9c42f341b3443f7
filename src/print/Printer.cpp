#include "print/Printer.h"

#include "engine/EngineError.h"
#include "print/SystemPrinter.h"
#include "storage/RuntimeError.h"

#include <QtMath>

namespace print {

namespace {

constexpr int InvalidPropertyValue = 380;

std::unique_ptr<Printer> &current()
{
    static std::unique_ptr<Printer> surface;
    return surface;
}

PrinterDialog &dialogSeam()
{
    static PrinterDialog dialog;
    return dialog;
}

} // namespace

Printer::~Printer() = default;

void Printer::deviceFontChanged(const PrinterFont &)
{
}

void Printer::changeFont(const PrinterFont &font)
{
    deviceFontChanged(font);
    m_font = font;
}

void Printer::setFontName(const QString &name)
{
    PrinterFont f = m_font;
    f.name = name;
    changeFont(f);
}

void Printer::setFontSize(double points)
{
    // A printer driver knows no font without a size; the value comes from
    // the program itself, so a bad one is a property error, not a device one.
    if (!qIsFinite(points) || points <= 0 || points > 2160)
        runtime::raise(InvalidPropertyValue, QString::number(points));
    PrinterFont f = m_font;
    f.size = points;
    changeFont(f);
}

void Printer::setFontBold(bool on)
{
    PrinterFont f = m_font;
    f.bold = on;
    changeFont(f);
}

void Printer::setFontUnderline(bool on)
{
    PrinterFont f = m_font;
    f.underline = on;
    changeFont(f);
}

double Printer::pageWidth() const
{
    return devicePageWidth();
}

double Printer::pageHeight() const
{
    return devicePageHeight();
}

double Printer::textWidth(const QString &text) const
{
    return deviceTextWidth(m_font, text);
}

double Printer::textHeight() const
{
    return deviceLineHeight(m_font);
}

void Printer::ensureDocument()
{
    if (m_open)
        return;
    deviceBeginDocument();
    m_open = true;
}

void Printer::print(const QString &text)
{
    ensureDocument();
    deviceDrawText(m_font, m_x, m_y, text);
    m_x = 0;
    m_y += deviceLineHeight(m_font);
}

void Printer::newPage()
{
    ensureDocument();
    deviceNewPage();
    ++m_page;
    m_x = 0;
    m_y = 0;
}

void Printer::endDoc()
{
    // The position and page go back to the start even when the device fails
    // to take the document: it is gone either way.
    const bool wasOpen = m_open;
    documentLost();
    if (wasOpen)
        deviceEndDocument();
}

void Printer::documentLost()
{
    m_open = false;
    m_page = 1;
    m_x = 0;
    m_y = 0;
}

Printer &printer()
{
    std::unique_ptr<Printer> &surface = current();
    if (!surface)
        surface = std::make_unique<SystemPrinter>();
    return *surface;
}

void setPrinter(std::unique_ptr<Printer> surface)
{
    current() = std::move(surface);
}

void setPrinterDialog(PrinterDialog dialog)
{
    dialogSeam() = std::move(dialog);
}

int runPrinterDialog(const QString &title)
{
    if (const PrinterDialog &dialog = dialogSeam())
        return dialog(title);
    if (auto *system = dynamic_cast<SystemPrinter *>(&printer()))
        return system->selectPrinter(title);
    return 0;
}

void raisePrinterError(const QString &detail)
{
    runtime::raise(PrinterError, detail);
}

} // namespace print
