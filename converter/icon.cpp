#include "icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

// A note pressed into a wave, on a 32 x 32 grid scaled to `size`.
QImage tunepressIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x3a, 0x68));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(7, 14, 8, 6));
    painter.drawRect(QRectF(13, 4, 2, 13));
    QPainterPath flag(QPointF(15, 4));
    flag.cubicTo(QPointF(17, 7), QPointF(22, 7), QPointF(20, 12));
    flag.cubicTo(QPointF(20, 9), QPointF(17, 8), QPointF(15, 8));
    painter.drawPath(flag);

    QPainterPath wave(QPointF(4, 25));
    for (int x = 4; x < 28; x += 6) {
        wave.quadTo(QPointF(x + 1.5, 21), QPointF(x + 3, 25));
        wave.quadTo(QPointF(x + 4.5, 29), QPointF(x + 6, 25));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0xf0, 0x9a, 0x30), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
    return image;
}

QIcon tunepressIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(tunepressIconImage(size)));
    return icon;
}
