// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

// Flags are drawn four times larger and scaled down, which gives clean edges at a few pixels.
constexpr int Oversample = 4;

QPixmap scaledDown(const QImage& big, int w, int h) {
    return QPixmap::fromImage(big.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace

namespace Artwork {

QPixmap frenchFlag() {
    const int w = 19 * Oversample;
    const int h = 15 * Oversample;
    QImage big(w, h, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&big);
    const int third = w / 3;
    p.fillRect(0, 0, third, h, QColor(0, 35, 149));
    p.fillRect(third, 0, w - 2 * third, h, Qt::white);
    p.fillRect(w - third, 0, third, h, QColor(237, 41, 57));
    p.setPen(QPen(QColor(90, 90, 90), Oversample));
    p.drawRect(QRectF(0.5 * Oversample, 0.5 * Oversample, w - Oversample, h - Oversample));
    p.end();
    return scaledDown(big, 19, 15);
}

QPixmap unitedKingdomFlag() {
    const int w = 21 * Oversample;
    const int h = 15 * Oversample;
    QImage big(w, h, QImage::Format_ARGB32_Premultiplied);
    const QColor blue(1, 33, 105);
    const QColor red(200, 16, 46);
    QPainter p(&big);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(0, 0, w, h, blue);

    // Saltire of St Andrew (white) with the counterchanged saltire of St Patrick (red): the red
    // band is offset the same way round on every arm, broad white uppermost at the hoist.
    const qreal diag = h / 5.0;
    p.setPen(QPen(Qt::white, diag, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(0, 0), QPointF(w, h));
    p.drawLine(QPointF(w, 0), QPointF(0, h));
    p.save();
    const QPointF centre(w / 2.0, h / 2.0);
    const qreal redWidth = diag / 3.0;
    p.setPen(QPen(red, redWidth, Qt::SolidLine, Qt::FlatCap));
    // Unit normal of each diagonal, scaled by a third of the white band.
    const qreal len = std::hypot(qreal(w), qreal(h));
    const QPointF n1(-h / len * redWidth, w / len * redWidth); // normal of the \ diagonal, down-left
    const QPointF n2(h / len * redWidth, w / len * redWidth);  // normal of the / diagonal, down-right
    p.drawLine(QPointF(0, 0) + n1, centre + n1);               // upper hoist: red below the centre line
    p.drawLine(centre - n1, QPointF(w, h) - n1);               // lower fly: red above
    p.drawLine(QPointF(w, 0) - n2, centre - n2);               // upper fly: red above
    p.drawLine(centre + n2, QPointF(0, h) + n2);               // lower hoist: red below
    p.restore();

    // Cross of St George with its white border.
    const qreal cross = h / 5.0;
    const qreal border = h / 15.0;
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(w / 2.0 - cross / 2 - border, 0, cross + 2 * border, h));
    p.drawRect(QRectF(0, h / 2.0 - cross / 2 - border, w, cross + 2 * border));
    p.setBrush(red);
    p.drawRect(QRectF(w / 2.0 - cross / 2, 0, cross, h));
    p.drawRect(QRectF(0, h / 2.0 - cross / 2, w, cross));
    p.end();
    return scaledDown(big, 21, 15);
}

QPixmap logoBanner() {
    const int w = 192;
    const int h = 29;
    QPixmap pixmap(w, h);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient background(0, 0, w, 0);
    background.setColorAt(0.0, QColor(12, 30, 52));
    background.setColorAt(1.0, QColor(24, 74, 110));
    p.fillRect(0, 0, w, h, background);

    // A syslog priority tag, as it opens every message on the wire.
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPixelSize(11);
    mono.setBold(true);
    p.setFont(mono);
    p.setPen(QColor(120, 230, 140));
    p.drawText(QRect(4, 0, 34, h), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("<14>"));

    QFont title;
    title.setPixelSize(20);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(38, 0, 90, h), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Talvex"));

    // Datagrams leaving for the receiver: a row of shrinking packets and a wave.
    p.setPen(Qt::NoPen);
    const QColor packet(255, 196, 64);
    int x = 128;
    for (int i = 0; i < 4; ++i) {
        const int size = 9 - 2 * i;
        QColor c = packet;
        c.setAlpha(255 - 50 * i);
        p.setBrush(c);
        p.drawRoundedRect(QRectF(x, (h - size) / 2.0, size, size), 1.5, 1.5);
        x += size + 4;
    }
    QPainterPath wave;
    wave.moveTo(x + 2, h / 2.0);
    for (int i = 0; i < 3; ++i) {
        const qreal x0 = x + 2 + i * 6;
        wave.quadTo(x0 + 1.5, h / 2.0 - 4, x0 + 3, h / 2.0);
        wave.quadTo(x0 + 4.5, h / 2.0 + 4, x0 + 6, h / 2.0);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(150, 200, 255), 1.4));
    p.drawPath(wave);
    p.end();
    return pixmap;
}

QIcon windowIcon() {
    QIcon builtIn;
    for (const int side : {16, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/talvex-%1.png").arg(side), QSize(side, side));
    return QIcon::fromTheme(QStringLiteral("talvex"), builtIn);
}

} // namespace Artwork
