#pragma once

#include "print/Printer.h"

#include <functional>
#include <vector>

// A printer that keeps what it was given instead of putting it on paper:
// every line with its document, page, position and font. Its metrics are
// those of a monospaced font (every character 0.6 of the point size wide, a
// line 1.2 of it high), so layouts come out the same on every machine.
class RecordingPrinter : public print::Printer
{
public:
    struct Line
    {
        int document = 0; // counted from 1
        int page = 0;
        double x = 0;
        double y = 0;
        QString text;
        print::PrinterFont font;
    };
    enum class Operation { BeginDocument, Draw, NewPage, EndDocument, Font };
    // Decides whether an operation fails (the text of a Draw, else empty).
    using Failure = std::function<bool(Operation op, const QString &text)>;

    explicit RecordingPrinter(double pageWidth = 11000, double pageHeight = 15000);

    const std::vector<Line> &lines() const { return m_lines; }
    // Lines of one document, in order; document 0 means all.
    std::vector<Line> linesOf(int document) const;
    // Texts of the printed lines, in order, empty lines included.
    QStringList texts() const;
    int documentsStarted() const { return m_started; }
    int documentsEnded() const { return m_ended; }
    void setFailure(Failure failure) { m_failure = std::move(failure); }
    // Stands for a print to file (or no printer at all) when false.
    void setPrintsToQueue(bool queue) { m_queue = queue; }
    bool printsToQueue() const override { return m_queue; }

    static double charWidth(double points) { return points * 12.0; }
    static double lineHeight(double points) { return points * 24.0; }

protected:
    double devicePageWidth() const override { return m_width; }
    double devicePageHeight() const override { return m_height; }
    double deviceTextWidth(const print::PrinterFont &font, const QString &text) const override;
    double deviceLineHeight(const print::PrinterFont &font) const override;
    void deviceBeginDocument() override;
    void deviceDrawText(const print::PrinterFont &font, double x, double y, const QString &text) override;
    void deviceNewPage() override;
    void deviceEndDocument() override;
    void deviceFontChanged(const print::PrinterFont &font) override;

private:
    void check(Operation op, const QString &text = {}) const;

    double m_width;
    double m_height;
    std::vector<Line> m_lines;
    int m_started = 0;
    int m_ended = 0;
    int m_page = 1;
    Failure m_failure;
    bool m_queue = true;
};
