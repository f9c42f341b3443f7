#include "record/Frm_Start.h"

#include "platform/MessageService.h"
#include "record/BoundMemoBox.h"
#include "record/BoundTextBox.h"
#include "record/CodeTexts.h"
#include "record/LoadBusiness.h"
#include "record/NavigatorBar.h"
#include "record/RecordPictures.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

// One labelled box of a frame. memo: several lines; codeText: the name of an
// unbound box beside it that shows the code's text.
struct Frm_Start::Field
{
    const char *label;
    const char *column;
    const char *tip = nullptr;
    const char *codeText = nullptr;
    bool memo = false;
};

namespace {

constexpr int kSpacing = 3;

QString tr8(const char *text)
{
    return QString::fromUtf8(text);
}

void compact(QLayout *layout, int margin = 4)
{
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(kSpacing);
}

QGroupBox *groupBox(const char *name, const QString &title, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLabel *fieldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

BoundTextBox *displayBox(const char *name, QWidget *parent)
{
    auto *box = new BoundTextBox(nullptr, {}, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

// Height of two lines of text.
int twoLineHeight(const QFontMetrics &metrics)
{
    return metrics.boundingRect(QRect(0, 0, 10000, 10000), 0, QStringLiteral("X\nX")).height();
}

// Whether the text, wrapped at word breaks, fits into the room.
bool fitsWrapped(const QFontMetrics &metrics, const QSize &room, const QString &text)
{
    const QRect need = metrics.boundingRect(QRect(0, 0, room.width(), 10000), Qt::TextWordWrap, text);
    return need.width() <= room.width() && need.height() <= room.height();
}

// The narrowest width that holds the text on two lines.
int twoLineWidth(const QFontMetrics &metrics, const QString &text)
{
    const int height = twoLineHeight(metrics);
    int low = 1, high = metrics.horizontalAdvance(text) + 1;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (fitsWrapped(metrics, QSize(mid, height), text))
            high = mid;
        else
            low = mid + 1;
    }
    return low;
}

struct TabInfo
{
    const char *caption;
    const char *header;
};

Frm_Start::RepresentativesOpener s_representativesOpener = nullptr;

const TabInfo kTabs[6] = {
    {"Betrieb (Meldedaten)", "Anzeige: Meldedaten"},
    {"Betr. (Adressen)", "Anzeige: Adressen"},
    {"Betr. (Tät/Hwk/Erl)", "Anzeige: Tätigkeiten/Handwerkskarten"},
    {"Personen", "Anzeige: Personendaten (nat. und jur. Person)"},
    {"Pers. (Adr/AE/FZ)", "Anzeige: Adressen/Aufenhaltserl./Führungsz."},
    {"Pers. (Hwk/Erl)", "Anzeige: Handwerkskarten/Erlaubnisse"},
};

} // namespace

Frm_Start::Frm_Start(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frm_Start"));
    setWindowTitle(QStringLiteral("PLOXA_3x_Access"));
    QFont small = font();
    small.setPointSizeF(8.25);
    setFont(small);

    auto mk = [this](const char *name) { return new BoundView(QString::fromLatin1(name), this); };
    DATA_ORG = mk("DATA_ORG");
    DATA_ORG_RF = mk("DATA_ORG_RF");
    DATA_BETR = mk("DATA_BETR");
    DATA_Meld = mk("DATA_Meld");
    DATA_ADR = mk("DATA_ADR");
    DATA_BETRErl = mk("DATA_BETRErl");
    DATA_BETRHwk = mk("DATA_BETRHwk");
    DATA_TAET = mk("DATA_TAET");
    DATA_Bez_Betr_Pers = mk("DATA_Bez_Betr_Pers");
    DATA_PERSStaat = mk("DATA_PERSStaat");
    DATA_PERS = mk("DATA_PERS");
    DATA_PERSErl = mk("DATA_PERSErl");
    DATA_PERSHwk = mk("DATA_PERSHwk");
    for (BoundView *hidden : {DATA_ORG, DATA_ORG_RF, DATA_BETR, DATA_Bez_Betr_Pers})
        hidden->setVisible(false);

    auto *main = new QVBoxLayout(this);
    compact(main);

    auto *top = new QHBoxLayout;
    top->setSpacing(kSpacing);
    buildHeader(this);
    top->addWidget(Frame_Ueberschrift, 1);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    // The emblem is drawn in the 200:203 proportions of the header picture.
    const QSize emblem(64, 65);
    Image1->setFixedSize(emblem);
    Image1->setPixmap(drawEmblem(emblem));
    top->addWidget(Image1, 0, Qt::AlignTop);
    main->addLayout(top);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setUsesScrollButtons(false);
    // Built in tab order: a braced list runs its parts from left to right.
    QWidget *const pages[6] = {buildTab0(), buildTab1(), buildTab2(), buildTab3(), buildTab4(), buildTab5()};
    for (int i = 0; i < 6; ++i)
        SSTab1->addTab(pages[i], tr8(kTabs[i].caption));
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image2->setAlignment(Qt::AlignCenter);
    Image2->installEventFilter(this);
    // The picture covers the place of the tabs: one cell holds both.
    auto *middle = new QGridLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->addWidget(SSTab1, 0, 0);
    middle->addWidget(Image2, 0, 0);
    main->addLayout(middle, 1);

    buildBottomStrip(this);
    main->addWidget(Frame8);

    connect(SSTab1, &QTabWidget::currentChanged, this, &Frm_Start::SSTab1_Click);
    for (BoundView *v : {DATA_ADR, DATA_BETRErl, DATA_BETRHwk, DATA_Meld, DATA_PERSErl, DATA_PERSHwk, DATA_PERSStaat})
        connect(v, &BoundView::Reposition, this, [this, v] { counter_Reposition(v); });
    connect(DATA_BETR, &BoundView::Reposition, this, &Frm_Start::DATA_BETR_Reposition);
    connect(DATA_TAET, &BoundView::Reposition, this, &Frm_Start::DATA_TAET_Reposition);
    connect(DATA_PERS, &BoundView::Reposition, this, &Frm_Start::DATA_PERS_Changed);
    connect(Command1, &QPushButton::clicked, this, &Frm_Start::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Frm_Start::Command3_Click);

    setFixedSize(platform::twips(12120), platform::twips(8850));
    watchKeys(this);
    Image2->setVisible(false);
    applyPersonNavigator(SSTab1->currentIndex());
}

Frm_Start::~Frm_Start() = default;

void Frm_Start::buildHeader(QWidget *host)
{
    Frame_Ueberschrift = groupBox("Frame_Ueberschrift", {}, host);
    // The strip keeps its place while hidden, so the picture below does not jump.
    QSizePolicy keep = Frame_Ueberschrift->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Frame_Ueberschrift->setSizePolicy(keep);
    auto *grid = new QGridLayout(Frame_Ueberschrift);
    compact(grid);
    addFields(grid, 0, DATA_BETR,
              {{"Betr-Nummer:", "betr-nr"},
               {"Gemeinde-KZ.:", "gem-kz"},
               {"Betriebsname:", "b-eintr-name"},
               {"Betr-Hist-Nr:", "betr-hist-nr"},
               {"Rechtsform:", "b-rechtsform-text"}},
              3);
    grid->addWidget(fieldLabel(QStringLiteral("Gemeindename:"), Frame_Ueberschrift), 1, 4);
    Text_136 = new BoundTextBox(DATA_ORG, QStringLiteral("gem-name"), Frame_Ueberschrift);
    Text_136->setObjectName(QStringLiteral("Text_136"));
    grid->addWidget(Text_136, 1, 5);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 5);
    grid->setColumnStretch(5, 4);
}

QGroupBox *Frm_Start::fieldFrame(const char *name, const QString &title, BoundView *view,
                                 const std::vector<Field> &fields, int columns)
{
    QGroupBox *frame = groupBox(name, title, nullptr);
    auto *grid = new QGridLayout(frame);
    compact(grid);
    int row = 0;
    // The person navigator has its own place in Frame_Anzahl.
    if (view->Visible() && view != DATA_PERS) {
        grid->addWidget(navigatorRow(view, frame), 0, 0, 1, 2 * columns);
        row = 1;
    }
    addFields(grid, row, view, fields, columns);
    return frame;
}

// Places label and box pairs column by column, `columns` pairs side by side.
void Frm_Start::addFields(QGridLayout *grid, int firstRow, BoundView *view, const std::vector<Field> &fields,
                          int columns)
{
    QWidget *parent = grid->parentWidget();
    int plain = 0;
    for (const Field &f : fields)
        plain += f.memo ? 0 : 1;
    const int rows = (plain + columns - 1) / columns;
    int index = 0;
    int memoRow = firstRow + rows;
    for (const Field &f : fields) {
        const QString column = QString::fromUtf8(f.column);
        const QString objectName = view->objectName() + QLatin1Char('.') + column;
        if (f.memo) {
            auto *memo = new BoundMemoBox(view, column, parent);
            memo->setObjectName(objectName);
            memo->setFixedHeight(qMax(fontMetrics().lineSpacing() * 3 + 8, memo->minimumSizeHint().height()));
            if (f.label) {
                grid->addWidget(fieldLabel(tr8(f.label), parent), memoRow, 0, Qt::AlignTop);
                grid->addWidget(memo, memoRow, 1, 1, 2 * columns - 1);
            } else {
                grid->addWidget(memo, memoRow, 0, 1, 2 * columns);
            }
            ++memoRow;
            continue;
        }
        const int row = firstRow + index % rows;
        const int col = 2 * (index / rows);
        ++index;
        auto *box = new BoundTextBox(view, column, parent);
        box->setObjectName(objectName);
        if (f.tip)
            box->setToolTip(tr8(f.tip));
        grid->addWidget(fieldLabel(tr8(f.label), parent), row, col);
        if (!f.codeText) {
            grid->addWidget(box, row, col + 1);
            continue;
        }
        // A short code and its text side by side.
        auto *pair = new QWidget(parent);
        auto *h = new QHBoxLayout(pair);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(kSpacing);
        box->setParent(pair);
        box->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
        h->addWidget(box);
        BoundTextBox *text = displayBox(f.codeText, pair);
        h->addWidget(text, 1);
        grid->addWidget(pair, row, col + 1);
        if (qstrcmp(f.codeText, "Text_Korrekturmeldung") == 0)
            Text_Korrekturmeldung = text;
        else if (qstrcmp(f.codeText, "Text_Schwerpunkt") == 0)
            Text_Schwerpunkt = text;
        else if (qstrcmp(f.codeText, "Text_Ummeldung") == 0)
            Text_Ummeldung = text;
    }
    for (int c = 0; c < columns; ++c)
        grid->setColumnStretch(2 * c + 1, 1);
}

QWidget *Frm_Start::navigatorRow(BoundView *view, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(kSpacing);
    h->addWidget(new QLabel(tr8("Anzahl Datensätze:"), row));
    h->addWidget(new NavigatorBar(view, row));
    h->addStretch(1);
    return row;
}

QGroupBox *Frm_Start::personHeader(const char *name)
{
    QGroupBox *frame = groupBox(name, {}, nullptr);
    auto *grid = new QGridLayout(frame);
    compact(grid);
    addFields(grid, 0, DATA_PERS, {{"Personennummer:", "pers-nr"}, {"Art der Person:", "p-art"}}, 2);
    return frame;
}

QWidget *Frm_Start::buildTab0()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    compact(v);
    QGroupBox *reg = groupBox("Frame_Register", {}, page);
    auto *grid = new QGridLayout(reg);
    compact(grid);
    addFields(grid, 0, DATA_BETR,
              {{"Anz.Dat:", "anzeige-datum"},
               {"Melde-Art:", "meld-art-text"},
               {"Korrekturmeldung:", "korr-meld", nullptr, "Text_Korrekturmeldung"},
               {"Meldedatum:", "meld-datum"},
               {"Meldegrund:", "meld-grund-text"},
               {"Nebenerwerb:", "b-nebenerwerb", "Betrieb wird im Nebenerwerb ausgeführt"},
               {"Besch.-Zahl (Teilz):", "besch-zahl-teilzeit"},
               {"Besch.-Zahl (Vollz):", "besch-zahl-vollzeit"},
               {"Betriebsart:", "betr-art-text"},
               {"Grad d. Selbst.:", "selbst-grad-text"},
               {"Gewerbezusatz:", "b-gew-zusatz"},
               {"Reg.-Schlüssel:", "b-reg-schl"},
               {"Reg.-PLZ:", "b-reg-plz"},
               {"Reg.-Ort:", "b-reg-ort"},
               {"Reg.-Art:", "b-reg-art-text"},
               {"Reg.-Eintrag.-Nr.:", "b-eintr-nr"},
               {"Reg.-Eintr.-Datum:", "b-reg-datum"},
               {"Zahl der Personen (Vetr.):", "zahl-vertreter"},
               {"Weitergabe erlaubt:", "daten-weit"},
               {"Vertr. Nachn.:", "vertreter-nname"},
               {"Vertr. Vorn.:", "vertreter-vname"},
               {"Betr.-Anfang:", "betr-beginn"},
               {"Betr.-Ende:", "betr-ende"}},
              3);
    QGroupBox *meld = fieldFrame("Frame17", QStringLiteral("sonstige Meldegründe"), DATA_Meld,
                                 {{"Meldegrund:", "meld-grund-sonst-text"}}, 1);
    QGroupBox *owner =
        fieldFrame("Frame15", tr8("Früherer Inhaber (bei Anmeldung) / Künftiger Inhaber (bei Abmeldung)"), DATA_BETR,
                   {{"Name (NP):", "inhaber-bname"}}, 1);
    meld->setParent(reg);
    owner->setParent(reg);
    grid->addWidget(meld, grid->rowCount(), 0, 1, 6);
    grid->addWidget(owner, grid->rowCount(), 0, 1, 6);
    v->addWidget(reg);
    v->addStretch(1);
    return page;
}

QWidget *Frm_Start::buildTab1()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    compact(v);
    QGroupBox *adr = fieldFrame("Frame_Adresse", {}, DATA_ADR,
                                {{"Adresse:", "b-adr-art-text"},
                                 {"Straße:", "b-strasse"},
                                 {"Haus.-Nr. von:", "b-hausnr-von"},
                                 {"Haus.-Nr. bis:", "b-hausnr-bis"},
                                 {"Haus.-Nr. Zusatz:", "b-adr-zusatz"},
                                 {"Land:", "b-land-text"},
                                 {"PLZ:", "b-plz"},
                                 {"Ort:", "b-ort"},
                                 {"Ortsteil:", "b-ortsteil"},
                                 {"Postfach Land:", "b-postfach-land"},
                                 {"Postfach PLZ:", "b-postfach-plz"},
                                 {"Postfach Nr.:", "b-postfach-nr"},
                                 {"Tel. Vorwahl:", "b-tel-vw"},
                                 {"Tel. Nummer.:", "b-tel-nr"},
                                 {"Fax Vorwahl:", "b-fax-vw"},
                                 {"Fax Nummer:", "b-fax-nr"},
                                 {"Email:", "b-email"},
                                 {"Homepage:", "b-homepage"}},
                                3);
    QGroupBox *remark = fieldFrame("Frame18", QStringLiteral("Betriebsbezogene Bemerkung"), DATA_BETR,
                                   {{nullptr, "b-bemerkung", nullptr, nullptr, true}}, 1);
    adr->setParent(page);
    remark->setParent(page);
    v->addWidget(adr);
    v->addWidget(remark);
    v->addStretch(1);
    return page;
}

QWidget *Frm_Start::buildTab2()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    compact(v);
    QGroupBox *taet = fieldFrame("Frame3", tr8("Tätigkeit"), DATA_TAET,
                                 {{"Schlüssel:", "tk-schl"},
                                  {"Beginn:", "tk-beginn"},
                                  {"Schwerpunkt:", "tk-schwerp", nullptr, "Text_Schwerpunkt"},
                                  {"Ende:", "tk-ende"},
                                  {"Ummeldung:", "tk-ummeldung", nullptr, "Text_Ummeldung"},
                                  {"iD:", "tk_hwk_id"},
                                  {"TK-Bezeichnung:", "tk-originaltext", nullptr, nullptr, true}},
                                 3);
    QGroupBox *erl = fieldFrame("Frame16", QStringLiteral("Erlaubnisse"), DATA_BETRErl,
                                {{"Erlaubnis-Datum:", "b-erl-datum"},
                                 {"Erlaubnisart:", "b-erl-art"},
                                 {"Status:", "b-erl-status"},
                                 {"Erlaubnis-Behörde:", "b-erl-behoerde"},
                                 {"Erlaubnis-PLZ:", "b-erl-plz"},
                                 {"Erlaubnis-Ort:", "b-erl-ort"}},
                                1);
    QGroupBox *hwk = fieldFrame("Frame_Hwk", QStringLiteral("Handwerkskarte"), DATA_BETRHwk,
                                {{"Schlüssel:", "b-hwk-schl"},
                                 {"Art der HWKarte:", "b-hwk-art"},
                                 {"Ausstellungs-Datum:", "b-hwk-datum"},
                                 {"Ausst. Behörde:", "b-hwk-behoerde"},
                                 {"PLZ der Behörde:", "b-hwk-plz"},
                                 {"Ort der Behörde:", "b-hwk-ort"},
                                 {"HWKarte Status:", "b-hwk-status", "Handwerkskarte erloschen"}},
                                1);
    for (QWidget *w : {static_cast<QWidget *>(taet), static_cast<QWidget *>(erl), static_cast<QWidget *>(hwk)})
        w->setParent(page);
    v->addWidget(taet);
    auto *h = new QHBoxLayout;
    h->setSpacing(kSpacing);
    h->addWidget(erl, 1, Qt::AlignTop);
    h->addWidget(hwk, 1, Qt::AlignTop);
    v->addLayout(h);
    v->addStretch(1);
    return page;
}

QWidget *Frm_Start::buildTab3()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    compact(v);
    QGroupBox *head = personHeader("Frame2");
    head->setParent(page);
    v->addWidget(head);

    // The link of the person to this business, on the tab itself.
    auto *link = new QGridLayout;
    link->setSpacing(kSpacing);
    link->addWidget(fieldLabel(QStringLiteral("Funktion:"), page), 0, 0);
    TextPers_8 = displayBox("TextPers_8", page);
    link->addWidget(TextPers_8, 0, 1);
    link->addWidget(fieldLabel(QStringLiteral("Eintr.-Datum:"), page), 0, 2);
    auto *eintr = new BoundTextBox(DATA_Bez_Betr_Pers, QStringLiteral("p-eintr-datum"), page);
    eintr->setObjectName(QStringLiteral("DATA_Bez_Betr_Pers.p-eintr-datum"));
    link->addWidget(eintr, 0, 3);
    link->addWidget(fieldLabel(QStringLiteral("Austr.-Datum:"), page), 0, 4);
    auto *austr = new BoundTextBox(DATA_Bez_Betr_Pers, QStringLiteral("p-austr-datum"), page);
    austr->setObjectName(QStringLiteral("DATA_Bez_Betr_Pers.p-austr-datum"));
    link->addWidget(austr, 0, 5);
    link->setColumnStretch(1, 3);
    link->setColumnStretch(3, 1);
    link->setColumnStretch(5, 1);
    v->addLayout(link);

    QGroupBox *np = fieldFrame("Frame5", tr8("natürliche Person"), DATA_PERS,
                               {{"Nebenerwerb:", "p-nebenerwerb", "Ausübung der Tätigkeit als Nebenerwerb"},
                                {"Titel:", "namenstitel-text"},
                                {"Familienname:", "fam-name"},
                                {"Geburtsname:", "geb-name"},
                                {"Vorname (ges.):", "vornamen"},
                                {"Namenszusatz:", "namenszusatz-text"},
                                {"Nachtitel:", "nachtitel-text"},
                                {"Geschlecht:", "geschlecht"},
                                {"Geb.-Datum:", "geb-datum"},
                                {"Geb.-Ort:", "geb-ort"},
                                {"Geb.-Land", "geb-land"},
                                {"Künstlername:", "kuenstlername"}},
                               2);
    QGroupBox *staat = fieldFrame("Frame11", tr8("Staatsangehörigkeit"), DATA_PERSStaat, {{"Staat:", "staat-text"}}, 1);
    staat->setParent(np);
    auto *npGrid = static_cast<QGridLayout *>(np->layout());
    npGrid->addWidget(staat, npGrid->rowCount(), 0, 1, 4);
    QGroupBox *jp = fieldFrame("Frame4", QStringLiteral("juristische Person"), DATA_PERS,
                               {{"Zahl der ges.Vertr:", "p-zahl-vertreter"},
                                {"Eintr.-Name:", "p-eintr-name"},
                                {"Rechtsform:", "p-rechtsform-text"},
                                {"Reg.-Schl.:", "p-reg-schl"},
                                {"Reg.-PLZ:", "p-reg-plz"},
                                {"Registergericht:", "p-reg-ort"},
                                {"Reg.-Art:", "p-reg-art-text"},
                                {"Eintr.-Nr.:", "p-eintr-nr"},
                                {"Reg.-Datum:", "p-reg-datum"}},
                               1);
    Command1 = new QPushButton(QStringLiteral("Personen anzeigen"), jp);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *jpGrid = static_cast<QGridLayout *>(jp->layout());
    jpGrid->addWidget(Command1, jpGrid->rowCount(), 0, 1, 2, Qt::AlignRight);
    np->setParent(page);
    jp->setParent(page);
    auto *h = new QHBoxLayout;
    h->setSpacing(kSpacing);
    h->addWidget(np, 3, Qt::AlignTop);
    h->addWidget(jp, 2, Qt::AlignTop);
    v->addLayout(h);
    v->addStretch(1);
    return page;
}

QWidget *Frm_Start::buildTab4()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    compact(v);
    QGroupBox *head = personHeader("Frame13");
    QGroupBox *adr = fieldFrame("Frame6", QStringLiteral("Adresse"), DATA_PERS,
                                {{"Straße:", "p-strasse"},
                                 {"Hausnummer (von):", "p-hausnr-von"},
                                 {"(bis):", "p-hausnr-bis"},
                                 {"Adressenzusatz:", "p-adr-zusatz"},
                                 {"Land:", "p-land-text"},
                                 {"Postleitzahl:", "p-plz"},
                                 {"Ort:", "p-ort"},
                                 {"Ortsteil:", "p-ortsteil"},
                                 {"Postfach-Nr:", "p-postfach-nr"},
                                 {"Postfach-PLZ:", "p-postfach-plz"},
                                 {"Tel (VW):", "p-tel-vw"},
                                 {"Tel (Nr):", "p-tel-nr"},
                                 {"Fax (VW):", "p-fax-vw"},
                                 {"Fax (Nr):", "p-fax-nr"},
                                 {"Email:", "p-email"}},
                                3);
    QGroupBox *ae = fieldFrame("Frame7", tr8("Aufenthaltserlaubnis/Führungszeugnis"), DATA_PERS,
                               {{"Aufenthaltserl.:", "aufenth-vor"},
                                {"AE-Datum:", "aufenth-datum"},
                                {"AE-Behörde:", "aufenth-behoerde"},
                                {"AE-Behörde-PLZ:", "aufenth-plz"},
                                {"AE-Behörde-Ort:", "aufenth-ort"},
                                {"AE-Auflagen:", "aufenth-auflage"},
                                {"Führungsz.-Datum:", "fzeug-datum"},
                                {"GZRAusk.-Datum:", "p-gzr-ausk-datum"}},
                               2);
    for (QGroupBox *f : {head, adr, ae}) {
        f->setParent(page);
        v->addWidget(f);
    }
    v->addStretch(1);
    return page;
}

QWidget *Frm_Start::buildTab5()
{
    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    compact(v);
    QGroupBox *head = personHeader("Frame14");
    QGroupBox *remark = fieldFrame("Frame12", QStringLiteral("Bermerkung"), DATA_PERS,
                                   {{nullptr, "p-bemerkung", nullptr, nullptr, true}}, 1);
    QGroupBox *erl = fieldFrame("Frame10", QStringLiteral("Erlaubnis"), DATA_PERSErl,
                                {{"Erlaubnisdatum:", "p-erl-datum"},
                                 {"Erlaubnis-Art:", "p-erl-art"},
                                 {"Status:", "p-erl-status"},
                                 {"Relevant f. Betrieb:", "p-erl-relevant"},
                                 {"Erlaubnis-Behörde:", "p-erl-behoerde"},
                                 {"Erlaubnis-PLZ:", "p-erl-plz"},
                                 {"Erlaubnis-Ort:", "p-erl-ort"}},
                                1);
    QGroupBox *hwk = fieldFrame("Frame9", QStringLiteral("Handwerkskarte"), DATA_PERSHwk,
                                {{"HWK-Datum:", "p-hwk-datum"},
                                 {"HWK-Art:", "p-hwk-art"},
                                 {"HWK-Schlüssel:", "p-hwk-schl"},
                                 {"Status:", "p-hwk-status"},
                                 {"Relevant f. Betrieb:", "p-hwk-relevant"},
                                 {"HWK-Behörde:", "p-hwk-behoerde"},
                                 {"HWK-PLZ:", "p-hwk-plz"},
                                 {"HWK-Ort:", "p-hwk-ort"}},
                                1);
    for (QGroupBox *f : {head, remark, erl, hwk})
        f->setParent(page);
    v->addWidget(head);
    v->addWidget(remark);
    auto *h = new QHBoxLayout;
    h->setSpacing(kSpacing);
    h->addWidget(erl, 1, Qt::AlignTop);
    h->addWidget(hwk, 1, Qt::AlignTop);
    v->addLayout(h);
    v->addStretch(1);
    return page;
}

void Frm_Start::buildBottomStrip(QWidget *host)
{
    Frame8 = groupBox("Frame8", {}, host);
    auto *h = new QHBoxLayout(Frame8);
    compact(h);

    Frame1 = groupBox("Frame1", QStringLiteral("Aktion"), Frame8);
    Frame1->setAcceptDrops(true);
    Frame1->installEventFilter(this);
    auto *l1 = new QHBoxLayout(Frame1);
    compact(l1);
    Label2 = new QLabel(QStringLiteral("Anzeige von Gewerbedaten!"), Frame1);
    Label2->setObjectName(QStringLiteral("Label2"));
    // Status texts of import and export vary in length; they must not push
    // the strip wider than the window. Two lines fit beside the navigator's
    // buttons at no cost in height, and leave the navigator the room it
    // needs while "zurück" shows; the texts of the record view always fit
    // on them, a longer one shows whole as its tooltip.
    Label2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    Label2->setWordWrap(true);
    const QFontMetrics metrics(Label2->font());
    Label2->setFixedHeight(twoLineHeight(metrics));
    QStringList recordViewTexts{representativeHeader()};
    for (const TabInfo &t : kTabs)
        recordViewTexts << tr8(t.header);
    int headerWidth = 0;
    for (const QString &text : recordViewTexts)
        headerWidth = qMax(headerWidth, twoLineWidth(metrics, text));
    Label2->setMinimumWidth(headerWidth);
    l1->addWidget(Label2);
    h->addWidget(Frame1, 1);

    Frame_Progress = groupBox("Frame_Progress", QStringLiteral("Fortschritt"), Frame8);
    auto *l2 = new QHBoxLayout(Frame_Progress);
    compact(l2);
    ProgressBar1 = new QProgressBar(Frame_Progress);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(fontMetrics().height() + 4);
    l2->addWidget(ProgressBar1);
    h->addWidget(Frame_Progress, 0);
    Frame_Progress->setMinimumWidth(120);

    Frame_Anzahl = groupBox("Frame_Anzahl", tr8("Anzahl Personen-Datensätze"), Frame8);
    auto *l3 = new QHBoxLayout(Frame_Anzahl);
    compact(l3);
    l3->addWidget(navigatorRow(DATA_PERS, Frame_Anzahl), 1);
    Command3 = new QPushButton(QStringLiteral("zurück"), Frame_Anzahl);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setVisible(false);
    l3->addWidget(Command3);
    h->addWidget(Frame_Anzahl, 0);
}

BoundView *Frm_Start::view(const QString &name) const
{
    return findChild<BoundView *>(name, Qt::FindDirectChildrenOnly);
}

NavigatorBar *Frm_Start::navigator(const QString &viewName) const
{
    return findChild<NavigatorBar *>(viewName + QStringLiteral("_Navigator"));
}

void Frm_Start::installHooks()
{
    FormHooks &f = G().forms;
    f.startView = [this](const QString &name) { return view(name); };
    f.setStatusText = [this](const QString &text) { setStatus(text); };
    f.statusText = [this] { return Label2->text(); };
    f.setProgressMax = [this](int max) {
        ProgressBar1->setMaximum(qMax(0, max));
        if (ProgressBar1->value() > ProgressBar1->maximum())
            ProgressBar1->setValue(ProgressBar1->maximum());
    };
    // A value beyond the range would be dropped silently; the bar shows the
    // nearest end instead.
    f.setProgressValue = [this](int value) {
        ProgressBar1->setValue(qBound(ProgressBar1->minimum(), value, ProgressBar1->maximum()));
    };
    f.progressMax = [this] { return ProgressBar1->maximum(); };
    f.progressValue = [this] { return qMax(0, ProgressBar1->value()); };
    f.showStartPicture = [this] { showStartPicture(); };
    f.showRecordView = [this] { showRecordView(); };
    f.startPictureShown = [this] { return Image2->isVisibleTo(this); };
    f.setTab = [this](int tab) { SSTab1->setCurrentIndex(tab); };
    f.setBusyCursor = [this](bool busy) { setBusy(busy); };
}

void Frm_Start::keepPersonFrameRoom(bool keep)
{
    QSizePolicy policy = Frame_Anzahl->sizePolicy();
    policy.setRetainSizeWhenHidden(keep);
    Frame_Anzahl->setSizePolicy(policy);
}

void Frm_Start::showStartPicture()
{
    // The status line takes the person navigator's room: the import's and
    // the export's progress lines are longer than any tab header.
    keepPersonFrameRoom(false);
    Image2->setVisible(true);
    SSTab1->setVisible(false);
    Frame_Ueberschrift->setVisible(false);
    Frame_Anzahl->setVisible(false);
    Image1->setVisible(true);
}

void Frm_Start::showRecordView()
{
    // The strip keeps its divisions when the tabs switch the navigator.
    keepPersonFrameRoom(true);
    Image2->setVisible(false);
    SSTab1->setVisible(true);
    Frame_Ueberschrift->setVisible(true);
    // The tab may already be the one asked for, so no tab event comes.
    applyPersonNavigator(SSTab1->currentIndex());
}

void Frm_Start::SSTab1_Click(int tab)
{
    if (tab < 0 || tab >= 6)
        return;
    setStatus(tr8(kTabs[tab].header));
    applyPersonNavigator(tab);
}

// The person navigator belongs to the person tabs 3 to 5 only.
void Frm_Start::applyPersonNavigator(int tab)
{
    const bool personTab = tab >= 3 && tab <= 5;
    Frame_Anzahl->setVisible(personTab && !Image2->isVisibleTo(this));
    DATA_PERS->setEnabled(personTab);
}

void Frm_Start::counter_Reposition(BoundView *view)
{
    guarded(view->objectName() + QStringLiteral("_Reposition"), [view] { view->setCaption(recordCounterText(view)); });
}

void Frm_Start::DATA_BETR_Reposition()
{
    guarded(QStringLiteral("DATA_BETR_Reposition"), [this] {
        // Without a business the old text would describe a record no longer shown.
        Text_Korrekturmeldung->showText(hasRows(DATA_BETR)
                                           ? korrekturmeldungText(DATA_BETR->currentValue(QStringLiteral("korr-meld")))
                                           : QString());
    });
}

void Frm_Start::DATA_TAET_Reposition()
{
    guarded(QStringLiteral("DATA_TAET_Reposition"), [this] {
        DATA_TAET->setCaption(recordCounterText(DATA_TAET));
        const bool rows = hasRows(DATA_TAET);
        Text_Schwerpunkt->showText(rows ? schwerpunktText(DATA_TAET->currentValue(QStringLiteral("tk-schwerp")))
                                       : QString());
        Text_Ummeldung->showText(rows ? ummeldungText(DATA_TAET->currentValue(QStringLiteral("tk-ummeldung")))
                                     : QString());
    });
}

void Frm_Start::DATA_PERS_Changed()
{
    // The person change re-queries four views; a failure there is logged and
    // the window stays usable.
    guarded(QStringLiteral("DATA_PERS_Reposition"), [this] {
        if (const auto function = DATA_PERS_Reposition())
            TextPers_8->showText(*function);
    });
}

void Frm_Start::Frame1_DragDrop()
{
    QWidget *frame = this;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame = sub;
    const QScreen *s = frame->screen();
    if (!s)
        return;
    const QRect screenRect = s->geometry();
    frame->move((screenRect.width() - frame->width()) / 2, (screenRect.height() - frame->height()) / 2);
}

void Frm_Start::setRepresentativesOpener(RepresentativesOpener opener)
{
    s_representativesOpener = opener;
}

void Frm_Start::Command1_Click()
{
    if (s_representativesOpener)
        s_representativesOpener(this);
}

void Frm_Start::Command3_Click()
{
    // Back to the business of the juridical person, with all its own persons.
    QVariant gemKz, betrNr, betrHistNr;
    bool business = false;
    guarded(QStringLiteral("Frm_Start.Command3_Click"), [&] {
        const auto rs = DATA_BETR->Recordset();
        if (!hasRows(DATA_BETR) || rs->eof() || rs->bof())
            return;
        gemKz = rs->value(QStringLiteral("gem-kz"));
        betrNr = rs->value(QStringLiteral("betr-nr"));
        betrHistNr = rs->value(QStringLiteral("betr-hist-nr"));
        business = true;
    });
    if (!business)
        return;
    Command3->setVisible(false);
    showRecordView();
    SSTab1->setCurrentIndex(3);
    setStatus(tr8(kTabs[3].header));
    DB_Load_DATA(gemKz, betrNr, betrHistNr);
}

void Frm_Start::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void Frm_Start::watchKeys(QWidget *widget)
{
    widget->installEventFilter(this);
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->installEventFilter(this);
}

void Frm_Start::storeKey(const QKeyEvent *key)
{
    // The character code, as the import and export expect it (ESC = 27);
    // keys without a character leave the last code as it was.
    const QString text = key->text();
    int code = -1;
    if (!text.isEmpty())
        code = text.at(0).unicode();
    else if (key->key() == Qt::Key_Escape)
        code = 27;
    else if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        code = 13;
    else if (key->key() == Qt::Key_Backspace)
        code = 8;
    else if (key->key() == Qt::Key_Tab)
        code = 9;
    if (code >= 0)
        G().Letzte_Taste = qint16(code);
}

bool Frm_Start::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        storeKey(static_cast<const QKeyEvent *>(event));
        break;
    case QEvent::ChildAdded: {
        auto *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType() && watched->isWidgetType())
            watchKeys(static_cast<QWidget *>(child));
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (watched == Frame1) {
            static_cast<QDragMoveEvent *>(event)->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop:
        if (watched == Frame1) {
            static_cast<QDropEvent *>(event)->acceptProposedAction();
            Frame1_DragDrop();
            return true;
        }
        break;
    case QEvent::Resize:
        if (watched == Image2)
            Image2->setPixmap(drawStartPicture(Image2->size()));
        else if (watched == Label2)
            fitStatusTip();
        break;
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

QString Frm_Start::representativeHeader()
{
    return QStringLiteral("Anzeige: Personendaten (Vertreter einer jur. Person)");
}

void Frm_Start::setStatus(const QString &text)
{
    Label2->setText(text);
    fitStatusTip();
}

void Frm_Start::fitStatusTip()
{
    const QString text = Label2->text();
    Label2->setToolTip(fitsWrapped(Label2->fontMetrics(), Label2->contentsRect().size(), text) ? QString() : text);
}

void Frm_Start::closeEvent(QCloseEvent *event)
{
    emit queryUnload();
    emit unloaded();
    event->accept();
}
