#include "app/Frm_Optionen.h"

#include "platform/MessageService.h"
#include "storage/BoundView.h"
#include "storage/Declare.h"
#include "storage/ErrorLog.h"
#include "storage/Options.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

Frm_Optionen::Frm_Optionen(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Frm_Optionen"));
    setWindowTitle(QStringLiteral(" PLOXA_3x_Access  (Optionen)"));
    DATA_GEMEINDE = new BoundView(QStringLiteral("DATA_GEMEINDE"), this);

    auto *layout = new QVBoxLayout(this);
    const QString captions[2] = {QStringLiteral("Datenbank (BETRIEBSBEZOGENE DATEN)"),
                                 QStringLiteral("Datenbank (MELDUNGSBEZOGENE DATEN)")};
    for (int i = 0; i < 2; ++i) {
        Frame1[i] = new QGroupBox(captions[i], this);
        Frame1[i]->setObjectName(QStringLiteral("Frame1(%1)").arg(i));
        Text6[i] = new QLineEdit(Frame1[i]);
        Text6[i]->setObjectName(QStringLiteral("Text6(%1)").arg(i));
        auto *frameLayout = new QVBoxLayout(Frame1[i]);
        frameLayout->addWidget(Text6[i]);
        layout->addWidget(Frame1[i]);
    }
    layout->addStretch();

    move(0, 0);
    resize(platform::twips(12120), platform::twips(8850));
}

Frm_Optionen::~Frm_Optionen() = default;

QString Frm_Optionen::pathText(int index) const
{
    return index >= 0 && index < 2 ? Text6[size_t(index)]->text() : QString();
}

void Frm_Optionen::Form_Activate()
{
    Declare &g = G();
    A_org_lesen();
    // An event handler must not let an engine error escape into the event
    // loop; the clerk learns of it from the log like of any other failure.
    guarded(QStringLiteral("Frm_Optionen.Form_Activate"), [this, &g] {
        DATA_GEMEINDE->setDatabaseName(g.Datei_DB_Org);
        DATA_GEMEINDE->setRecordSource(QStringLiteral("SELECT ALL * From aktuelleGemeinde ORDER BY [gem-kz];"));
        DATA_GEMEINDE->Refresh();
    });
    const bool betrieb = g.Datenart_aktuell.toString() == QStringLiteral("BETRIEBSBEZOGEN");
    const int other = betrieb ? 1 : 0;
    Frame1[size_t(other)]->setEnabled(false);
    Text6[size_t(other)]->setEnabled(false);
    Frame1[size_t(1 - other)]->setEnabled(true);
    Text6[size_t(1 - other)]->setEnabled(true);
    if (g.forms.setMainCaption)
        g.forms.setMainCaption(betrieb ? QStringLiteral("PLOXA_4x_Access (betriebsbezogene Daten)")
                                       : QStringLiteral("PLOXA_4x_Access (meldungsbezogene Daten)"));
    Text6[0]->setText(g.Datei_DB_betriebsbezogen.toString());
    Text6[1]->setText(g.Datei_DB_meldungsbezogen.toString());
}

void Frm_Optionen::closeEvent(QCloseEvent *event)
{
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(QStringLiteral("menue_extras_optionen"), false);
    event->accept();
}
