#include "print/SystemPrinter.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QWidget>

namespace {
constexpr double kTwipsPerInch = 1440.0;
}

SystemPrinter::SystemPrinter(const QString &pdfFile) : m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    if (!pdfFile.isEmpty())
        printToFile(pdfFile);
}

SystemPrinter::~SystemPrinter()
{
    // A document left open by a failed run is still sent rather than lost.
    if (m_painter.isActive())
        m_painter.end();
}

void SystemPrinter::printToFile(const QString &pdfFile)
{
    m_printer->setOutputFileName(pdfFile);
    // An empty name alone would fall back to a queue where there is one.
    m_printer->setOutputFormat(QPrinter::PdfFormat);
}

int SystemPrinter::selectPrinter(const QString &title)
{
    // While a document is open the device keeps its target and ignores a
    // new choice; the open document goes on where it began.
    QPrintDialog dialog(m_printer.get(), QApplication::activeWindow());
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted ? 0 : print::CancelError;
}

bool SystemPrinter::printsToQueue() const
{
    if (m_printer->outputFormat() != QPrinter::NativeFormat || !m_printer->outputFileName().isEmpty())
        return false;
    // A queue removed since it was chosen is as good as none.
    return !QPrinterInfo::printerInfo(m_printer->printerName()).isNull();
}

QString SystemPrinter::failureText(Step step) const
{
    const QString file = m_printer->outputFileName();
    const bool toFile = m_printer->outputFormat() == QPrinter::PdfFormat || !file.isEmpty();
    const QString name = toFile ? file : m_printer->printerName();
    // By step: beginning the document, a new page, ending it.
    static const char *const fileTexts[] = {"Die Datei „%1“ lässt sich nicht anlegen.",
                                            "In der Datei „%1“ lässt sich keine neue Seite beginnen.",
                                            "Die Datei „%1“ konnte nicht fertig geschrieben werden."};
    static const char *const queueTexts[] = {"Der Drucker „%1“ nimmt keinen Auftrag an.",
                                             "Der Drucker „%1“ kann keine neue Seite beginnen.",
                                             "Der Auftrag konnte dem Drucker „%1“ nicht übergeben werden."};
    QString text = name.isEmpty()
                       ? QStringLiteral("Es ist kein Drucker eingerichtet und keine Datei gewählt.")
                       : QString::fromUtf8((toFile ? fileTexts : queueTexts)[int(step)]).arg(name);
    if (m_printer->printerState() == QPrinter::Aborted)
        text += QStringLiteral(" Der Auftrag wurde abgebrochen.");
    else if (m_printer->printerState() == QPrinter::Error)
        text += QStringLiteral(" Das Drucksystem meldet einen Fehler.");
    return text;
}

void SystemPrinter::fail(Step step)
{
    QString text = failureText(step);
    if (step == Step::NewPage && m_painter.isActive() && !m_printer->outputFileName().isEmpty()) {
        // The device refuses a page once a write into its file has failed,
        // and nothing later would reach the file either: the document ends
        // here, so that what the file holds is judged and a remnant removed.
        m_painter.end();
        documentLost();
        const QString unwritten = unwrittenFileText();
        if (!unwritten.isEmpty())
            text = unwritten;
    }
    // Once no document is open, a device that failed is not trusted with
    // the next one: it may still count itself active and then refuse every
    // change of target the printer dialog makes.
    if (!m_painter.isActive())
        renew();
    print::raisePrinterError(text);
}

void SystemPrinter::renew()
{
    const QPrinter &old = *m_printer;
    auto fresh = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (old.outputFormat() == QPrinter::NativeFormat && !old.printerName().isEmpty())
        fresh->setPrinterName(old.printerName());
    fresh->setOutputFileName(old.outputFileName());
    if (old.outputFormat() == QPrinter::PdfFormat)
        fresh->setOutputFormat(QPrinter::PdfFormat);
    fresh->setPageLayout(old.pageLayout());
    fresh->setCopyCount(old.copyCount());
    fresh->setCollateCopies(old.collateCopies());
    fresh->setDuplex(old.duplex());
    fresh->setColorMode(old.colorMode());
    fresh->setPageOrder(old.pageOrder());
    fresh->setDocName(old.docName());
    m_printer = std::move(fresh);
}

double SystemPrinter::toDevice(double twips) const
{
    return twips * m_printer->resolution() / kTwipsPerInch;
}

double SystemPrinter::toTwips(double dots) const
{
    return dots * kTwipsPerInch / m_printer->resolution();
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
    return m_printer->pageLayout().paintRect(QPageLayout::Inch).width() * kTwipsPerInch;
}

double SystemPrinter::devicePageHeight() const
{
    return m_printer->pageLayout().paintRect(QPageLayout::Inch).height() * kTwipsPerInch;
}

double SystemPrinter::deviceTextWidth(const print::PrinterFont &font, const QString &text) const
{
    return toTwips(QFontMetricsF(qfont(font), m_printer.get()).horizontalAdvance(text));
}

double SystemPrinter::deviceLineHeight(const print::PrinterFont &font) const
{
    return toTwips(QFontMetricsF(qfont(font), m_printer.get()).height());
}

void SystemPrinter::deviceBeginDocument()
{
    if (!m_painter.begin(m_printer.get()))
        fail(Step::Begin);
}

void SystemPrinter::deviceDrawText(const print::PrinterFont &font, double x, double y, const QString &text)
{
    if (text.isEmpty())
        return;
    const QFont f = qfont(font);
    m_painter.setFont(f);
    const QFontMetricsF metrics(f, m_printer.get());
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
    if (!m_printer->newPage())
        fail(Step::NewPage);
}

void SystemPrinter::deviceEndDocument()
{
    if (!m_painter.isActive())
        return;
    const bool ended = m_painter.end();
    const QPrinter::PrinterState state = m_printer->printerState();
    if (!ended || state == QPrinter::Error || state == QPrinter::Aborted)
        fail(Step::End);
    // A write that fails (a full disk, a share that went away) is reported
    // neither by the painter nor by the printer's state: only the file tells.
    if (m_printer->outputFileName().isEmpty())
        return;
    const QString unwritten = unwrittenFileText();
    if (unwritten.isEmpty())
        return;
    // The device keeps a failed write to itself and then writes nothing
    // into any later file; the next document gets a fresh one.
    renew();
    print::raisePrinterError(unwritten);
}

QString SystemPrinter::unwrittenFileText()
{
    const QString file = m_printer->outputFileName();
    const QFileInfo info(file);
    if (!info.exists())
        return QStringLiteral("Die Datei „%1“ wurde nicht angelegt.").arg(file);
    // A whole document ends with its end-of-file mark. Only a plain file is
    // read back: a device or a pipe may never end.
    bool whole = false;
    if (info.isFile() && info.size() > 0) {
        QFile pdf(file);
        if (pdf.open(QIODevice::ReadOnly)) {
            pdf.seek(qMax<qint64>(0, pdf.size() - 32));
            whole = pdf.read(32).trimmed().endsWith("%%EOF");
        }
    }
    if (whole)
        return {};
    QString text = QStringLiteral("Die Datei „%1“ konnte nicht vollständig geschrieben werden; der Datenträger "
                                  "ist voll oder nicht erreichbar.")
                       .arg(file);
    // What is left would pass for a print: a plain file goes, anything else
    // is named for what it is.
    if (info.isFile() && !info.isSymLink() && QFile::remove(file))
        text += QStringLiteral(" Die unvollständige Datei wurde gelöscht.");
    else
        text += QStringLiteral(" Was dort steht, ist unvollständig.");
    return text;
}
