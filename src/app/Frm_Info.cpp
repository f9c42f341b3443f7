#include "app/Frm_Info.h"

#include "platform/MessageService.h"
#include "platform/VersionInfo.h"
#include "storage/Declare.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

// A number as the version line has always shown it: a blank where a plus sign would stand.
QString signedNumber(int n)
{
    return (n < 0 ? QStringLiteral("-") : QStringLiteral(" ")) + QString::number(qAbs(n));
}

QPixmap infoPicture()
{
    QPixmap pixmap(200, 203);
    QPainter p(&pixmap);
    QLinearGradient gradient(0, 0, 0, 203);
    gradient.setColorAt(0, QColor(0, 64, 128));
    gradient.setColorAt(1, QColor(0, 128, 160));
    p.fillRect(pixmap.rect(), gradient);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setBold(true);
    font.setPointSize(20);
    p.setFont(font);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("PLOXA\n4x Access"));
    return pixmap;
}

} // namespace

Frm_Info::Frm_Info(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Frm_Info"));
    setWindowTitle(QStringLiteral("  PLOXA_3x_Access  (Info)"));
    setModal(true);

    Frame1 = new QGroupBox(QStringLiteral("Info"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Image1 = new QLabel(Frame1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(infoPicture());
    Image1->setAlignment(Qt::AlignCenter);
    RichTextBox1 = new QTextEdit(Frame1);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setReadOnly(true);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(Image1);
    frameLayout->addWidget(RichTextBox1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);

    resize(platform::twips(4200), platform::twips(5800));
}

Frm_Info::~Frm_Info() = default;

QString Frm_Info::infoText()
{
    const platform::VersionInfo &v = platform::versionInfo();
    const QString crlf = QStringLiteral("\r\n");
    return v.productName + crlf + v.companyName + crlf + QStringLiteral("Version: ") + signedNumber(v.major)
           + QLatin1Char('.') + signedNumber(v.minor) + QLatin1Char('.') + signedNumber(v.revision) + crlf
           + v.legalNotice + crlf;
}

void Frm_Info::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The box keeps lines, not carriage returns.
    QString text = infoText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    RichTextBox1->setPlainText(text);
}

void Frm_Info::done(int result)
{
    const FormHooks &f = G().forms;
    if (f.setMenuChecked)
        f.setMenuChecked(QStringLiteral("menue_info"), false);
    QDialog::done(result);
}
