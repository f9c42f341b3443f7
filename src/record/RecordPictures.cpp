#include "record/RecordPictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

const QColor kNavy(0, 0, 128);
const QColor kPaper(250, 248, 240);

// One index card of the register: a tab on top, ruled lines below.
void drawCard(QPainter &p, const QRectF &r, const QColor &tab)
{
    p.setPen(QPen(QColor(90, 90, 110), 1.2));
    p.setBrush(kPaper);
    p.drawRoundedRect(r, 4, 4);
    const QRectF tabRect(r.left() + r.width() * 0.08, r.top() - r.height() * 0.1, r.width() * 0.3, r.height() * 0.14);
    p.setBrush(tab);
    p.drawRoundedRect(tabRect, 3, 3);
    p.setPen(QPen(QColor(170, 180, 210), 1));
    for (int i = 1; i <= 5; ++i) {
        const qreal y = r.top() + r.height() * (0.16 * i + 0.06);
        p.drawLine(QPointF(r.left() + r.width() * 0.08, y), QPointF(r.right() - r.width() * 0.08, y));
    }
}

} // namespace

QPixmap drawStartPicture(const QSize &size)
{
    QPixmap pix(size.expandedTo(QSize(1, 1)));
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = pix.width();
    const qreal h = pix.height();

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(214, 226, 245));
    sky.setColorAt(1, QColor(150, 172, 212));
    p.fillRect(pix.rect(), sky);

    // A fan of register cards on the left half.
    const qreal cw = qMin(w * 0.32, h * 0.55);
    const qreal ch = cw * 0.68;
    const QPointF centre(w * 0.27, h * 0.52);
    const QColor tabs[] = {QColor(200, 60, 60), QColor(230, 170, 40), QColor(60, 140, 80), QColor(50, 90, 170)};
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(-18 + i * 11);
        drawCard(p, QRectF(-cw / 2, -ch / 2 - i * ch * 0.06, cw, ch), tabs[i]);
        p.restore();
    }

    // The product and what it keeps, on the right half.
    QFont title(QStringLiteral("Sans Serif"));
    title.setBold(true);
    title.setPixelSize(qMax(10, int(h * 0.12)));
    p.setFont(title);
    p.setPen(kNavy);
    const QRectF text(w * 0.5, h * 0.28, w * 0.47, h * 0.2);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PLOXA"));
    QFont sub = title;
    sub.setBold(false);
    sub.setPixelSize(qMax(8, int(h * 0.055)));
    p.setFont(sub);
    p.drawText(QRectF(w * 0.5, h * 0.48, w * 0.47, h * 0.1), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Gewerbedaten"));
    p.setPen(QPen(kNavy, qMax(1.0, h * 0.006)));
    p.drawLine(QPointF(w * 0.5, h * 0.6), QPointF(w * 0.92, h * 0.6));
    return pix;
}

QPixmap drawEmblem(const QSize &size)
{
    QPixmap pix(size.expandedTo(QSize(1, 1)));
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(pix.rect()).adjusted(2, 2, -2, -2);
    // A shield with a stylised card, the office's sign.
    QPainterPath shield;
    shield.moveTo(r.left(), r.top());
    shield.lineTo(r.right(), r.top());
    shield.lineTo(r.right(), r.top() + r.height() * 0.55);
    shield.quadTo(r.right(), r.bottom(), r.center().x(), r.bottom());
    shield.quadTo(r.left(), r.bottom(), r.left(), r.top() + r.height() * 0.55);
    shield.closeSubpath();
    QLinearGradient fill(r.topLeft(), r.bottomRight());
    fill.setColorAt(0, QColor(60, 90, 170));
    fill.setColorAt(1, kNavy);
    p.setPen(QPen(QColor(20, 20, 60), 1.5));
    p.setBrush(fill);
    p.drawPath(shield);
    const QRectF card(r.left() + r.width() * 0.22, r.top() + r.height() * 0.2, r.width() * 0.56, r.height() * 0.4);
    drawCard(p, card, QColor(230, 170, 40));
    return pix;
}
