#include "record/Frm_Start.h"

#include "storage/BoundView.h"
#include "storage/Declare.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

// Minimal record window; its tabs and boxes are built out separately.
Frm_Start::Frm_Start(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frm_Start"));
    setWindowTitle(QStringLiteral("PLOXA_3x_Access"));
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
    Frame_Ueberschrift = new QGroupBox(this);
    Image1 = new QLabel(this);
    Image2 = new QLabel(this);
    SSTab1 = new QTabWidget(this);
    Label2 = new QLabel(QStringLiteral("Anzeige von Gewerbedaten!"), this);
    ProgressBar1 = new QProgressBar(this);
    Frame_Anzahl = new QGroupBox(QStringLiteral("Anzahl Personen-Datensätze"), this);
    Command1 = new QPushButton(QStringLiteral("Personen anzeigen"), this);
    Command3 = new QPushButton(QStringLiteral("zurück"), this);
}

Frm_Start::~Frm_Start() = default;

BoundView *Frm_Start::view(const QString &name) const
{
    return findChild<BoundView *>(name, Qt::FindDirectChildrenOnly);
}

void Frm_Start::installHooks()
{
    FormHooks &f = G().forms;
    f.startView = [this](const QString &name) { return view(name); };
}

void Frm_Start::showStartPicture()
{
    Image2->setVisible(true);
    SSTab1->setVisible(false);
    Frame_Ueberschrift->setVisible(false);
    Frame_Anzahl->setVisible(false);
}

void Frm_Start::showRecordView()
{
    Image2->setVisible(false);
    SSTab1->setVisible(true);
    Frame_Ueberschrift->setVisible(true);
}

void Frm_Start::closeEvent(QCloseEvent *event)
{
    emit queryUnload();
    emit unloaded();
    event->accept();
}
