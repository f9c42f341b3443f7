#include "app/Frm_Optionen.h"

#include "engine/Database.h"
#include "engine/JetSql.h"
#include "platform/FileDialog.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "select/ListStep.h"
#include "storage/BoundView.h"
#include "storage/DatabaseHandling.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/Options.h"
#include "storage/RuntimeError.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <system_error>

namespace {

const QChar kLf(10);
const QString kBetrieb = QStringLiteral("BETRIEBSBEZOGEN");
const QString kMeldung = QStringLiteral("MELDUNGSBEZOGEN");
// A box "without a title of its own" carries the program's title.
const QString kProgramTitle = QStringLiteral("PLOXA_4x_Access");

QString captionFor(bool betrieb)
{
    return betrieb ? QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)")
                   : QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)");
}

void setMainCaption(const QString &caption)
{
    const FormHooks &f = G().forms;
    if (f.setMainCaption)
        f.setMainCaption(caption);
}

int ask(const QString &title, const QString &text, int style)
{
    Declare &g = G();
    g.Msg_Titel = title;
    g.Msg_Text = text;
    g.Msg_Stil = style;
    Msg_Box();
    return g.Msg_Antwort;
}

// The existence test of a directory listing of ordinary files.
QString listedFile(const QString &path)
{
    const QString found = platform::findPath(path);
    return !found.isEmpty() && QFileInfo(found).isFile() ? found : QString();
}

bool hasRows(const std::shared_ptr<engine::Recordset> &rs)
{
    return rs && rs->isOpen() && rs->recordCount() != 0;
}

// The first half of the switch protocol. A set that an earlier failed load
// never opened has nothing to close, and DB_Load below replaces every handle;
// so the clerk can still repair a path that could not be opened.
void closeWorkingDatabase()
{
    try {
        DB_Close();
    } catch (const engine::EngineError &) {
    }
    DB_Unbind_DATA();
}

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Puts an empty copy of the template in place of the database. The copy is
// made beside the database under another name and then renamed over it, so
// the database's name never stands for a half-copied file.
void replaceWithTemplate(const QString &templatePath, const QString &database)
{
    const QFileInfo target(database);
    const QString staging = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".leer");
    QFile::remove(staging);
    if (!QFile::copy(templatePath, staging)) {
        QFile::remove(staging);
        runtime::raise(runtime::PathFileAccess, staging);
    }
    // A template installed read-only must not give a database that takes no record.
    QFile::setPermissions(staging, QFile::permissions(staging) | QFile::ReadOwner | QFile::WriteOwner);
    engine::releaseFile(database);
    // A journal left beside the old file would be replayed into the new one.
    QFile::remove(database + QStringLiteral("-wal"));
    QFile::remove(database + QStringLiteral("-shm"));
    std::error_code ec;
    std::filesystem::rename(fsPath(staging), fsPath(database), ec);
    if (ec) {
        QFile::remove(staging);
        runtime::raise(runtime::PathFileAccess, database);
    }
}

// The hourglass on the window for the length of a step.
class BusyPointer
{
public:
    explicit BusyPointer(QWidget *w) : m_widget(w) { w->setCursor(Qt::WaitCursor); }
    ~BusyPointer()
    {
        if (m_widget)
            m_widget->unsetCursor();
    }

private:
    QPointer<QWidget> m_widget;
};

QPushButton *button(const QString &name, const QString &caption, QWidget *parent, const QString &hint = {})
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

QGroupBox *frame(const QString &name, const QString &caption, QWidget *parent)
{
    auto *f = new QGroupBox(caption, parent);
    f->setObjectName(name);
    return f;
}

} // namespace

Frm_Optionen::Frm_Optionen(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frm_Optionen"));
    setWindowTitle(QStringLiteral(" PLOXA_3x_Access  (Optionen)"));

    auto *layout = new QGridLayout(this);
    const QString captions[2] = {QStringLiteral("Datenbank (BETRIEBSBEZOGENE DATEN)"),
                                 QStringLiteral("Datenbank (MELDUNGSBEZOGENE DATEN)")};
    const QString switchCaptions[2] = {QStringLiteral("Daten-Art in \"meldungsbezogen\" ändern"),
                                       QStringLiteral("Daten-Art in \"betriebsbezogen\" ändern")};
    for (int i = 0; i < 2; ++i) {
        const size_t k = size_t(i);
        Frame1[k] = frame(QStringLiteral("Frame1(%1)").arg(i), captions[i], this);
        Text6[k] = new QLineEdit(Frame1[k]);
        Text6[k]->setObjectName(QStringLiteral("Text6(%1)").arg(i));
        Command11[k] =
            button(QStringLiteral("Command11(%1)").arg(i), QStringLiteral("Datenbank-Pfad ändern"), Frame1[k]);
        Command12[k] = button(QStringLiteral("Command12(%1)").arg(i), switchCaptions[i], Frame1[k]);
        Command4[k] = button(QStringLiteral("Command4(%1)").arg(i), QStringLiteral("Datenbank leeren"), Frame1[k]);
        auto *frameLayout = new QGridLayout(Frame1[k]);
        frameLayout->addWidget(Text6[k], 0, 0, 1, 3);
        frameLayout->addWidget(Command11[k], 1, 0);
        frameLayout->addWidget(Command12[k], 1, 1);
        frameLayout->addWidget(Command4[k], 1, 2);
        layout->addWidget(Frame1[k], i, 0, 1, 2);
        connect(Command11[k], &QPushButton::clicked, this, [this, i] { Command11_Click(i); });
        connect(Command12[k], &QPushButton::clicked, this, [this, i] { Command12_Click(i); });
        connect(Command4[k], &QPushButton::clicked, this, [this, i] { Command4_Click(i); });
    }

    Frame5 = frame(QStringLiteral("Frame5"), QStringLiteral("Gemeinden/LRA"), this);
    DATA_GEMEINDE = new BoundView(QStringLiteral("DATA_GEMEINDE"), this);
    List1 = new QListWidget(Frame5);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    List1->setUniformItemSizes(true);
    // The code and the name stand in columns only in a fixed-width font.
    List1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    Frame3 = frame(QStringLiteral("Frame3"), QStringLiteral("Markierungen"), Frame5);
    Command7 = button(QStringLiteral("Command7"), QStringLiteral("alle setzen"), Frame3,
                      QStringLiteral("alle angezeigten Gemeinden markieren"));
    Command9 = button(QStringLiteral("Command9"), QStringLiteral("alle löschen"), Frame3,
                      QStringLiteral("Markierungen aller angezeigten Gemeinden löschen"));
    Command6 = button(QStringLiteral("Command6"), QStringLiteral("alle anzeigen"), Frame3,
                      QStringLiteral("alle angezeigten Gemeinden markieren"));
    auto *marks = new QVBoxLayout(Frame3);
    marks->addWidget(Command7);
    marks->addWidget(Command9);
    marks->addWidget(Command6);

    Frame2 = frame(QStringLiteral("Frame2"), QString(), Frame5);
    Check1 = new QCheckBox(QStringLiteral("Filter aktiviert"), Frame2);
    Check1->setObjectName(QStringLiteral("Check1"));
    (new QVBoxLayout(Frame2))->addWidget(Check1);

    Frame6 = frame(QStringLiteral("Frame6"), QStringLiteral("Kennzahl-Filter: "), Frame5);
    Text7 = new QLineEdit(Frame6);
    Text7->setObjectName(QStringLiteral("Text7"));
    Text7->setToolTip(QStringLiteral("Kennzahl Gemeinde/LRA"));
    Command8 = button(QStringLiteral("Command8"), QStringLiteral("anzeigen"), Frame6,
                      QStringLiteral("Anzeige von Gemeinden/LRA mit der ausgewählten Kennzahl"));
    auto *keyLayout = new QVBoxLayout(Frame6);
    keyLayout->addWidget(Text7);
    keyLayout->addWidget(Command8);

    auto *side = new QVBoxLayout;
    side->addWidget(Frame2);
    side->addWidget(Frame3);
    side->addWidget(Frame6);
    side->addStretch();
    auto *municipalities = new QHBoxLayout(Frame5);
    municipalities->addWidget(List1, 1);
    municipalities->addLayout(side);
    layout->addWidget(Frame5, 2, 0, 2, 1);
    layout->setRowStretch(2, 1);

    Frame4 = frame(QStringLiteral("Frame4"), QStringLiteral("Error-Log-Datei"), this);
    Command2[0] = button(QStringLiteral("Command2(0)"), QStringLiteral("Anzeigen"), Frame4);
    Command2[1] = button(QStringLiteral("Command2(1)"), QStringLiteral("Löschen"), Frame4);
    auto *logLayout = new QVBoxLayout(Frame4);
    logLayout->addWidget(Command2[0]);
    logLayout->addWidget(Command2[1]);
    layout->addWidget(Frame4, 2, 1, Qt::AlignTop);

    Command3_1 = button(QStringLiteral("Command3(1)"), QStringLiteral("Zurück"), this);
    layout->addWidget(Command3_1, 3, 1, Qt::AlignBottom);

    connect(Command2[0], &QPushButton::clicked, this, [this] { Command2_Click(0); });
    connect(Command2[1], &QPushButton::clicked, this, [this] { Command2_Click(1); });
    connect(Check1, &QCheckBox::stateChanged, this, [this] { Check1_Click(); });
    connect(Command6, &QPushButton::clicked, this, &Frm_Optionen::Command6_Click);
    connect(Command8, &QPushButton::clicked, this, &Frm_Optionen::Command8_Click);
    connect(Command7, &QPushButton::clicked, this, &Frm_Optionen::Command7_Click);
    connect(Command9, &QPushButton::clicked, this, &Frm_Optionen::Command9_Click);
    connect(Command3_1, &QPushButton::clicked, this, [this] { Command3_Click(1); });

    move(0, 0);
    resize(platform::twips(12120), platform::twips(8850));
}

Frm_Optionen::~Frm_Optionen() = default;

QString Frm_Optionen::pathText(int index) const
{
    return index >= 0 && index < 2 ? Text6[size_t(index)]->text() : QString();
}

QString Frm_Optionen::listLine(const QString &gemKz, const QString &gemName)
{
    // A shorter code is padded, so that the name is never read back as part of it.
    return gemKz.leftJustified(8, QLatin1Char(' ')) + QStringLiteral("  ") + gemName;
}

QString Frm_Optionen::lineCode(const QString &line)
{
    QString code = line.left(8);
    while (code.endsWith(QLatin1Char(' ')))
        code.chop(1);
    return code;
}

QString Frm_Optionen::lineName(const QString &line)
{
    return line.mid(8).trimmed();
}

void Frm_Optionen::setKindControlsEnabled(int index, bool enabled)
{
    const size_t k = size_t(index);
    Frame1[k]->setEnabled(enabled);
    Command12[k]->setEnabled(enabled);
    Command11[k]->setEnabled(enabled);
    Command4[k]->setEnabled(enabled);
    Text6[k]->setEnabled(enabled);
}

void Frm_Optionen::setFilterControlsEnabled(bool enabled)
{
    Command7->setEnabled(enabled);
    Command8->setEnabled(enabled);
    Command9->setEnabled(enabled);
    Text7->setEnabled(enabled);
    List1->setEnabled(enabled);
}

void Frm_Optionen::fillList(bool withMarks)
{
    List1->clear();
    const auto rs = DATA_GEMEINDE->Recordset();
    if (!hasRows(rs))
        return;
    QStringList lines;
    std::vector<int> marked;
    const int code = rs->fieldIndex(QStringLiteral("gem-kz"));
    const int name = rs->fieldIndex(QStringLiteral("gem-name"));
    const int mark = withMarks ? rs->fieldIndex(QStringLiteral("markiert")) : -1;
    auto text = [&rs](int index) {
        const QVariant v = index < 0 ? QVariant() : rs->value(index);
        return engine::isNull(v) ? QString() : v.toString();
    };
    rs->moveFirst();
    while (!rs->eof()) {
        if (mark >= 0) {
            const QVariant m = rs->value(mark);
            if (!engine::isNull(m) && m.toBool())
                marked.push_back(int(lines.size()));
        }
        lines << listLine(text(code), text(name));
        rs->moveNext();
    }
    List1->addItems(lines);
    for (int row : marked)
        List1->item(row)->setSelected(true);
}

void Frm_Optionen::Form_Activate()
{
    Declare &g = G();
    A_org_lesen();
    listStep(QStringLiteral("Optionen!"), QStringLiteral("Frm_Optionen.Form_Activate"),
             QStringLiteral("Die Gemeinden konnten nicht gelesen werden!"), [this, &g] {
                 DATA_GEMEINDE->setDatabaseName(g.Datei_DB_Org);
                 DATA_GEMEINDE->setRecordSource(
                     QStringLiteral("SELECT ALL * From aktuelleGemeinde ORDER BY [gem-kz];"));
                 DATA_GEMEINDE->Refresh();
                 fillList(true);
             });

    Check1->setCheckState(g.Gemeindefilter_aktiv ? Qt::Checked : Qt::Unchecked);
    setFilterControlsEnabled(g.Gemeindefilter_aktiv);

    // Only the frame of the current kind is usable. Enabling it as well keeps
    // a window that stayed loaded across a switch by the import usable.
    const bool betrieb = g.Datenart_aktuell.toString() == kBetrieb;
    setKindControlsEnabled(betrieb ? 1 : 0, false);
    setKindControlsEnabled(betrieb ? 0 : 1, true);
    setMainCaption(captionFor(betrieb));

    Text6[0]->setText(g.Datei_DB_betriebsbezogen.toString());
    Text6[1]->setText(g.Datei_DB_meldungsbezogen.toString());
}

void Frm_Optionen::Check1_Click()
{
    // A grey box changes nothing; the flag is stored with the next options record.
    if (Check1->checkState() == Qt::PartiallyChecked)
        return;
    const bool on = Check1->checkState() == Qt::Checked;
    setFilterControlsEnabled(on);
    G().Gemeindefilter_aktiv = on;
}

void Frm_Optionen::Command11_Click(int index)
{
    Declare &g = G();
    const QString title = QStringLiteral("Änderung des Datenbankpfades!");
    if (ask(title,
            QStringLiteral("Stellen sie sicher, daß sich in dem gewünschten Pfad eine entsprechende Datenbank "
                           "befindet!")
                + kLf + QStringLiteral("Weiter?") + kLf,
            36)
        != platform::vbYes)
        return;

    const QString fileName = index == 0 ? QStringLiteral("px_4x_b.mdb") : QStringLiteral("px_4x_m.mdb");
    platform::OpenFileRequest request;
    request.filter = fileName + QLatin1Char('|') + fileName + QLatin1Char('|');
    request.filterIndex = 2;
    request.directory = platform::resolvePath(platform::programDirectory() + QStringLiteral("/db/"));
    const QString chosen = platform::showOpenFileDialog(request);

    // Only a file of exactly that name will do, as the dialog's filter says;
    // a typed path can name any file.
    const QString found = chosen.isEmpty() ? QString() : listedFile(chosen);
    if (found.isEmpty() || QFileInfo(found).fileName().compare(fileName, Qt::CaseInsensitive) != 0) {
        ask(title, QStringLiteral("Die Datenbank wurde unter diesem Pfad nicht gefunden!"), 48);
        return;
    }
    QLineEdit *box = Text6[size_t(index)];
    box->setText(chosen);
    box->repaint();
    const QString failure = QStringLiteral("Der Datenbankpfad konnte nicht geändert werden!");
    bool stored = false;
    const bool done = listStep(title, QStringLiteral("Frm_Optionen.Command11_Click"), failure, [&g, &chosen, &stored] {
        const QString previous = g.Datei_DB_Daten;
        closeWorkingDatabase();
        g.Datei_DB_Daten = chosen;
        stored = A_org_update();
        // A path that was not stored would be gone at the next start: the
        // one in use before stays.
        if (!stored)
            g.Datei_DB_Daten = previous;
        DB_Load();
    });
    if (!done)
        return;
    if (!stored) {
        box->setText((index == 0 ? g.Datei_DB_betriebsbezogen : g.Datei_DB_meldungsbezogen).toString());
        ask(title, failure, 48);
        return;
    }
    platform::MessageService::show(QStringLiteral("Der Datenbankpfad wurde geändert!") + kLf
                                       + QStringLiteral("Neuer Pfad: ''") + g.Datei_DB_offen + QStringLiteral("''"),
                                   kProgramTitle, 64);
    ask(title, QStringLiteral("Der Datenbankpfad wurde geändert!"), 0);
}

void Frm_Optionen::Command12_Click(int index)
{
    Declare &g = G();
    const QString title = index == 0
                              ? QStringLiteral("Ändern der Daten-Art von ''Betriebsbezogen'' in ''Meldungsbezogen''")
                              : QStringLiteral("Ändern der Daten-Art von ''Meldungsbezogen'' in ''Betriebsbezogen''");
    if (ask(title, QStringLiteral("Wollen Sie wirklich die Daten-Art wechseln?") + kLf, 36) != platform::vbYes)
        return;

    setKindControlsEnabled(index, false);
    setKindControlsEnabled(1 - index, true);
    const QVariant previousKind = g.Datenart_aktuell;
    g.Datenart_aktuell = index == 0 ? kMeldung : kBetrieb;
    setMainCaption(captionFor(index != 0));

    const QString failure = QStringLiteral("Die Daten-Art konnte nicht geändert werden!");
    bool stored = false;
    const bool done = listStep(title, QStringLiteral("Frm_Optionen.Command12_Click"), failure, [&] {
        const QString previousFile = g.Datei_DB_Daten;
        const QVariant previousTemplate = g.DB_Vorlage_Name;
        closeWorkingDatabase();
        stored = A_org_update();
        // A kind that was not stored would be gone at the next start: the
        // clerk keeps working on the kind in use before.
        if (!stored) {
            g.Datenart_aktuell = previousKind;
            g.Datei_DB_Daten = previousFile;
            g.DB_Vorlage_Name = previousTemplate;
        }
        DB_Load();
    });
    if (!done)
        return;
    if (!stored) {
        const bool betrieb = g.Datenart_aktuell.toString() == kBetrieb;
        setKindControlsEnabled(betrieb ? 1 : 0, false);
        setKindControlsEnabled(betrieb ? 0 : 1, true);
        setMainCaption(captionFor(betrieb));
        ask(title, failure, 48);
        return;
    }
    platform::MessageService::show(QStringLiteral("Der Daten-Art wurde geändert!") + kLf
                                       + QStringLiteral("Neue Daten-Art: ''") + g.Datenart_aktuell.toString()
                                       + QStringLiteral("''"),
                                   kProgramTitle, 64);
}

void Frm_Optionen::Command4_Click(int)
{
    Declare &g = G();
    const QString title = QStringLiteral("Datenbank leeren!");
    if (ask(title,
            QStringLiteral("Die Ploxa-Access-Datenbank wird gelöscht und durch eine neue ersetzt.") + kLf
                + QStringLiteral("Alle Datensätze gehen dabei verloren, die Datenbankstruktur bleibt erhalten.") + kLf
                + kLf
                + QStringLiteral("Wollen Sie die aktuelle Ploxa-Access-Datenbank wirklich löschen und durch eine "
                                 "leere Datenbank ersetzen?")
                + kLf,
            20)
        != platform::vbYes)
        return;

    const QString database = listedFile(g.Datei_DB_offen);
    if (database.isEmpty())
        return;

    const QString label = QStringLiteral("Frm_Optionen.Command4_Click");
    const QString vorlage = g.DB_Vorlage_Name.toString();
    const QString templatePath = g.Verz_Programm + vorlage + QStringLiteral(".mdb");
    const QString found = platform::findPath(templatePath);
    const bool present =
        !found.isEmpty() && QFileInfo(found).fileName().toUpper() == vorlage.toUpper() + QStringLiteral(".MDB");
    bool replaced = false;
    listStep(title, label, QStringLiteral("Die Datenbank konnte nicht ersetzt werden, sie bleibt unverändert!"),
             [&] {
                 closeWorkingDatabase();
                 if (present) {
                     replaceWithTemplate(found, database);
                     replaced = true;
                 }
             });
    DB_Load();

    if (replaced) {
        ask(title, QStringLiteral("Die Datenbank wurde gelöscht und ersetzt!"), 64);
    } else if (!present) {
        ask(title,
            QStringLiteral("Die leere Datenbank-Vorlage ''") + templatePath + QStringLiteral("'' wurde nicht gefunden!")
                + kLf + QStringLiteral("Die Datenbank wurde nicht verändert."),
            48);
    }
}

void Frm_Optionen::Command2_Click(int index)
{
    Declare &g = G();
    const QString log = listedFile(g.Verz_Log + QStringLiteral("ERROR.LOG"));
    const QString missing = QStringLiteral("Es wurde keine Error-Log-Datei gefunden!");
    if (index == 0) {
        if (log.isEmpty())
            ask(QStringLiteral("Anzeigen der Error-Log-Datei"), missing, 64);
        else
            g.Notepad_TaskID = platform::openWithViewer(log) ? 1.0 : 0.0;
        return;
    }
    const QString title = QStringLiteral("Löschen der Error-Log-Datei");
    if (log.isEmpty())
        ask(title, missing, 64);
    else if (QFile::remove(log))
        ask(title, QStringLiteral("Die Error-Log-Datei wurde gelöscht!"), 64);
    else
        ask(title, QStringLiteral("Die Error-Log-Datei konnte nicht gelöscht werden!"), 48);
}

void Frm_Optionen::Command6_Click()
{
    const QString title = QStringLiteral("Anzeigen aller Gemeinden!");
    if (ask(title,
            QStringLiteral("Dieser Vorgang kann einige Minuten dauern,") + kLf
                + QStringLiteral("wollen Sie wirklich alle Gemeinden anzeigen lassen?") + kLf,
            36)
        != platform::vbYes)
        return;
    BusyPointer busy(this);
    listStep(title, QStringLiteral("Frm_Optionen.Command6_Click"),
             QStringLiteral("Die Gemeinden konnten nicht gelesen werden!"), [this] {
                 DATA_GEMEINDE->setDatabaseName(G().Datei_DB_Org);
                 DATA_GEMEINDE->setRecordSource(
                     QStringLiteral("SELECT ALL * From gemeindekennzahlen ORDER BY [gem-kz];"));
                 DATA_GEMEINDE->Refresh();
                 const auto rs = DATA_GEMEINDE->Recordset();
                 if (hasRows(rs)) {
                     rs->moveLast();
                     rs->moveFirst();
                 }
                 fillList(false);
             });
}

void Frm_Optionen::Command8_Click()
{
    const QString title = QStringLiteral("Auswahl Landratsamt-Kennzahl!");
    BusyPointer busy(this);
    listStep(title, QStringLiteral("Frm_Optionen.Command8_Click"),
             QStringLiteral("Die Gemeinden konnten nicht gelesen werden!"), [this, &title] {
                 // The typed key stays a pattern; only its apostrophes are doubled.
                 DATA_GEMEINDE->setDatabaseName(G().Datei_DB_Org);
                 DATA_GEMEINDE->setRecordSource(QStringLiteral("SELECT DISTINCTROW * From gemeindekennzahlen")
                                                + QStringLiteral(" where [gem-kz] like ")
                                                + engine::sqlQuote(Text7->text() + QLatin1Char('*'))
                                                + QStringLiteral(" ORDER BY [gem-kz];"));
                 DATA_GEMEINDE->Refresh();
                 if (!hasRows(DATA_GEMEINDE->Recordset())) {
                     ask(title, QStringLiteral("Kennzahl wurde nicht gefunden!"), 64);
                     return;
                 }
                 fillList(false);
             });
}

void Frm_Optionen::Command7_Click()
{
    List1->selectAll();
}

void Frm_Optionen::Command9_Click()
{
    if (ask(QStringLiteral("löschen aller Markierungen!"),
            QStringLiteral("Wollen Sie wirklich alle Markierungen löschen?") + kLf, 36)
        == platform::vbYes)
        List1->clearSelection();
}

void Frm_Optionen::Command3_Click(int index)
{
    Declare &g = G();
    g.Ortungs_Nr = 0;
    BusyPointer busy(this);
    const ErrorSite site{QStringLiteral("Frm_Optionen.Command3_Click"), QStringLiteral("ClickIndex: "),
                         [index] { return QVariant(index); }};
    const bool done = guarded(site, [this, &g] {
        DATA_GEMEINDE->setDatabaseName(g.Datei_DB_Org);
        DATA_GEMEINDE->setRecordSource(QStringLiteral("aktuelleGemeinde"));
        DATA_GEMEINDE->Refresh();
        auto view = DATA_GEMEINDE->Recordset();
        const auto rs = runtime::require(view, "DATA_GEMEINDE.Recordset");
        if (rs->recordCount() != 0) {
            rs->moveFirst();
            while (!rs->eof()) {
                rs->deleteRow();
                rs->moveNext();
            }
        }
        for (int i = 0; i < List1->count(); ++i) {
            const QListWidgetItem *item = List1->item(i);
            if (!item->isSelected())
                continue;
            rs->addNew();
            rs->setValue(QStringLiteral("gem-kz"), lineCode(item->text()));
            rs->setValue(QStringLiteral("gem-name"), lineName(item->text()));
            rs->setValue(QStringLiteral("markiert"), true);
            rs->update();
        }
        A_org_update();
        if (g.forms.showStartPicture)
            g.forms.showStartPicture();
    });
    if (done)
        unload();
}

void Frm_Optionen::unload()
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget())) {
        sub->close();
        return;
    }
    if (close())
        deleteLater();
}

void Frm_Optionen::closeEvent(QCloseEvent *event)
{
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(QStringLiteral("menue_extras_optionen"), false);
    unsetCursor();
    event->accept();
}
