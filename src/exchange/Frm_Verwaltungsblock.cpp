#include "exchange/Frm_Verwaltungsblock.h"

#include "engine/Database.h"
#include "engine/Recordset.h"
#include "platform/MessageService.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/RuntimeError.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kMenu = QStringLiteral("menue_export_textdatei");

struct HeaderField
{
    const char *label;
    bool locked;
};

const HeaderField kFields[15] = {
    {"Verarbeitungsart:", true},      {"Struktur:", true},
    {"Erstelldatum:", true},          {"Erstellzeit:", true},
    {"Ersteller:", false},            {"Ersteller-ID:", false},
    {"Erstellquelle:", true},         {"Ersteller-Email:", false},
    {"Berichtszeitraum von: ", false}, {"Berichtszeitraum bis:", true},
    {"Zahl Betriebe gesamt:", true},  {"Gemeinde-Name:", false},
    {"Gemeinde-Kennzahl:", false},    {"Gemeinde-Telefon:", false},
    {"RML-Version:", true},
};

const char *const kChecks[4] = {"Export nach Schlüssel", "Export nach Gemeinden", "Export nach Datum",
                                "Gesamter Datenbestand"};

void setBackground(QLineEdit *field, const QColor &color)
{
    QPalette p = field->palette();
    p.setColor(QPalette::Base, color);
    field->setPalette(p);
    field->setAutoFillBackground(true);
}

Frm_Verwaltungsblock *s_loaded = nullptr;

} // namespace

Frm_Verwaltungsblock::Frm_Verwaltungsblock(QWidget *parent) : platform::MdiChildWindow(parent)
{
    s_loaded = this;
    setObjectName(QStringLiteral("Frm_Verwaltungsblock"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral(" Export - Verwaltungsblock"));

    Label2 = new QLabel(QStringLiteral("Daten-&Export (ACCESS->RML)"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont heading = Label2->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() * 1.5);
    Label2->setFont(heading);

    Frame1 = new QGroupBox(QStringLiteral("XML - Verwaltungsblock"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(Frame1);
    for (int i = 0; i < 15; ++i) {
        auto *label = new QLabel(QString::fromUtf8(kFields[i].label), Frame1);
        label->setObjectName(QStringLiteral("Label1(%1)").arg(i));
        auto *field = new QLineEdit(Frame1);
        field->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        if (kFields[i].locked) {
            field->setReadOnly(true);
            field->setFocusPolicy(Qt::NoFocus);
            setBackground(field, QColor(224, 224, 224));
        }
        label->setBuddy(field);
        Label1[size_t(i)] = label;
        Text1[size_t(i)] = field;
        grid->addWidget(label, i, 0);
        grid->addWidget(field, i, 1);
    }
    grid->setColumnStretch(1, 1);
    // Alt+E leads to the first field the user fills in.
    Label2->setBuddy(Text1[4]);

    Frame2 = new QGroupBox(QStringLiteral("Export-Optionen"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto *options = new QVBoxLayout(Frame2);
    for (int i = 0; i < 4; ++i) {
        auto *check = new QCheckBox(QString::fromUtf8(kChecks[i]), Frame2);
        check->setObjectName(QStringLiteral("Check1(%1)").arg(i));
        Check1[size_t(i)] = check;
        options->addWidget(check);
    }
    options->addStretch(1);
    Check1[0]->setHidden(true);
    Check1[1]->setHidden(true);
    Check1[2]->setHidden(true);
    // Shows that every row goes out; the key option narrows it per file.
    Check1[3]->setChecked(true);
    Check1[3]->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const char *captions[2] = {"OK", "Abbrechen"};
    for (int i = 0; i < 2; ++i) {
        auto *b = new QPushButton(QString::fromLatin1(captions[i]), this);
        b->setObjectName(QStringLiteral("Command1(%1)").arg(i));
        Command1[size_t(i)] = b;
        connect(b, &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        buttons->addWidget(b);
    }

    auto *middle = new QHBoxLayout;
    middle->addWidget(Frame1, 3);
    middle->addWidget(Frame2, 1);
    auto *window = new QVBoxLayout(this);
    window->addWidget(Label2);
    window->addLayout(middle, 1);
    window->addLayout(buttons);

    Form_Load();
}

Frm_Verwaltungsblock::~Frm_Verwaltungsblock()
{
    if (s_loaded == this)
        s_loaded = nullptr;
}

Frm_Verwaltungsblock *Frm_Verwaltungsblock::loaded()
{
    return s_loaded;
}

void Frm_Verwaltungsblock::Form_Load()
{
    Declare &g = G();
    setGeometry(0, 0, platform::twips(12120), platform::twips(8850));
    Text1[14]->setText(exchange::rmlVersionText());

    const QDateTime now = exchange::now();
    Text1[0]->setText(QStringLiteral("MIGRATION"));
    // The kind of the database that is open: only the exact word opens the
    // business-related one.
    Text1[1]->setText(g.Datenart_aktuell.toString() == QLatin1String("BETRIEBSBEZOGEN")
                          ? QStringLiteral("BETRIEBSBEZOGEN")
                          : QStringLiteral("MELDUNGSBEZOGEN"));
    Text1[2]->setText(now.date().toString(QStringLiteral("dd.MM.yyyy")));
    Text1[3]->setText(now.time().toString(QStringLiteral("HH.mm.ss")));
    Text1[6]->setText(QStringLiteral("MIGRATION ACCESS"));
    Text1[9]->setText(now.date().toString(QStringLiteral("dd.MM.yyyy")));

    // An unreadable database shows as an empty one; OK then reports it.
    long rows = 0;
    bool keys = false;
    guarded(QStringLiteral("Frm_Verwaltungsblock_Form_Load"), [&] {
        DB &db = runtime::require(g.Datenbank_Daten, "Datenbank_Daten");
        const RS betrieb = db->openRecordset(QStringLiteral("betrieb"));
        if (!betrieb->eof()) {
            betrieb->moveLast();
            rows = betrieb->recordCount();
        }
        betrieb->close();
        const RS keyList = db->openRecordset(QStringLiteral(
            "SELECT betrieb.schluesselfeld From betrieb GROUP BY betrieb.schluesselfeld HAVING (betrieb.schluesselfeld<>'')"));
        keys = keyList->recordCount() != 0;
        keyList->close();
    });
    if (rows == 0) {
        Text1[10]->setText(QStringLiteral("keine Sätze vorhanden!"));
        setBackground(Text1[10], QColor(255, 0, 0));
    } else {
        Text1[10]->setText(QString::number(rows));
    }
    Check1[0]->setHidden(!keys);
}

void Frm_Verwaltungsblock::showAsChild()
{
    placeAsChild(G().forms.addMdiChild, QSize(platform::twips(12120), platform::twips(8850)));
}

exchange::ExportHeader Frm_Verwaltungsblock::header() const
{
    exchange::ExportHeader h;
    for (int i = 0; i < 15; ++i)
        h.text[size_t(i)] = Text1[size_t(i)]->text();
    return h;
}

void Frm_Verwaltungsblock::Command1_Click(int index)
{
    if (index == 1) {
        unload();
        return;
    }
    if (index != 0 || m_confirmed)
        return;
    // From here the export owns the menu mark and clears it when it ends.
    m_confirmed = true;
    const FormHooks &f = G().forms;
    if (QMdiSubWindow *frame = subWindow())
        frame->hide();
    else
        hide();
    if (f.showStartPicture)
        f.showStartPicture();
    if (f.processEvents)
        f.processEvents();

    const QVariant art = Check1[0]->isChecked() ? exchange::kSchluesselfeld : QString();
    const exchange::ExportHeader values = header();
    QPointer<Frm_Verwaltungsblock> self(this);
    const auto unloadDialog = [self] {
        if (self)
            self->unload();
    };
    if (f.setMainEnabled)
        f.setMainEnabled(false);
    RML_Exp_1(art, values, unloadDialog);
    if (f.setMainEnabled)
        f.setMainEnabled(true);
    unloadDialog();
}

void Frm_Verwaltungsblock::Form_Unload()
{
    if (s_loaded == this)
        s_loaded = nullptr;
    const FormHooks &f = G().forms;
    if (!m_confirmed && f.setMenuChecked)
        f.setMenuChecked(kMenu, false);
}
