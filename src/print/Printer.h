#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace print {

// Error numbers of the printer: a failing device, and the cancel button of
// the printer selection (which the dialog reports as an error, so that a
// caller can tell it from a choice).
constexpr int PrinterError = 482;
constexpr int CancelError = 32755;

struct PrinterFont
{
    QString name = QStringLiteral("Arial");
    double size = 10;
    bool bold = false;
    bool underline = false;
};

// The printer as the printing code sees it: one device that keeps its font
// and its print position between calls until the end of a document. All
// positions and widths are in twips (1/1440 inch) from the top left of the
// printable area. A document begins with the first line printed; the end of
// the document sends it off and the next line starts a new one on page 1.
// A failing device raises engine::EngineError with PrinterError.
class Printer
{
public:
    virtual ~Printer();

    const PrinterFont &font() const { return m_font; }
    QString fontName() const { return m_font.name; }
    void setFontName(const QString &name);
    double fontSize() const { return m_font.size; }
    void setFontSize(double points);
    bool fontBold() const { return m_font.bold; }
    void setFontBold(bool on);
    bool fontUnderline() const { return m_font.underline; }
    void setFontUnderline(bool on);

    double currentX() const { return m_x; }
    void setCurrentX(double twips) { m_x = twips; }
    double currentY() const { return m_y; }
    void setCurrentY(double twips) { m_y = twips; }

    double pageWidth() const;
    double pageHeight() const;
    // 1 on the first page of a document.
    int page() const { return m_page; }
    bool documentOpen() const { return m_open; }
    // False when a document would go into a file or nowhere: printing
    // without asking would then overwrite the last file or fail.
    virtual bool printsToQueue() const { return true; }

    // Width of a text and height of one line in the current font.
    double textWidth(const QString &text) const;
    double textHeight() const;

    // Prints the text as one line at the current position; afterwards the
    // position is at the left edge one line lower. An empty text only
    // advances by one line.
    void print(const QString &text);
    void newPage();
    void endDoc();

protected:
    // The device behind the surface.
    virtual double devicePageWidth() const = 0;
    virtual double devicePageHeight() const = 0;
    virtual double deviceTextWidth(const PrinterFont &font, const QString &text) const = 0;
    virtual double deviceLineHeight(const PrinterFont &font) const = 0;
    virtual void deviceBeginDocument() = 0;
    // y is the top of the line.
    virtual void deviceDrawText(const PrinterFont &font, double x, double y, const QString &text) = 0;
    virtual void deviceNewPage() = 0;
    virtual void deviceEndDocument() = 0;
    // A font change the device refuses raises PrinterError here.
    virtual void deviceFontChanged(const PrinterFont &font);
    // The device gave up the open document after a failure: the next line
    // starts a new one on page 1.
    void documentLost();

private:
    void ensureDocument();
    void changeFont(const PrinterFont &font);

    PrinterFont m_font;
    double m_x = 0;
    double m_y = 0;
    int m_page = 1;
    bool m_open = false;
};

// The printer in use: the system's current printer unless a test has put
// another surface in its place. Passing nullptr returns to the system's.
Printer &printer();
void setPrinter(std::unique_ptr<Printer> surface);

// The printer selection under a title: returns 0 when the user confirmed,
// CancelError when he cancelled, another error number when the dialog failed
// (or throws engine::EngineError). The program's own shows the system's print
// dialog for the current printer; tests answer it themselves.
using PrinterDialog = std::function<int(const QString &title)>;
void setPrinterDialog(PrinterDialog dialog);
int runPrinterDialog(const QString &title);

// Raises the device error of the printer.
[[noreturn]] void raisePrinterError(const QString &detail = {});

} // namespace print
