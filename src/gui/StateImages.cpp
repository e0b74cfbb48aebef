#include "gui/StateImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace lv {

namespace {

QPixmap Blank(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Antialiased(QPainter& p) { p.setRenderHint(QPainter::Antialiasing, true); }

// A box seen from the front: a rounded case with its status light.
void DrawBoxCase(QPainter& p, int size, const QColor& light, bool dimmed) {
    const qreal s = size;
    QRectF body(s * 0.08, s * 0.22, s * 0.84, s * 0.56);
    p.setPen(QPen(dimmed ? QColor(150, 150, 150) : QColor(40, 40, 60), s / 16.0));
    p.setBrush(dimmed ? QColor(225, 225, 225) : QColor(70, 80, 110));
    p.drawRoundedRect(body, s * 0.08, s * 0.08);
    // Antenna.
    p.drawLine(QPointF(s * 0.75, s * 0.22), QPointF(s * 0.85, s * 0.06));
    // Status light.
    p.setPen(QPen(QColor(30, 30, 30), s / 24.0));
    p.setBrush(light);
    p.drawEllipse(QPointF(s * 0.30, s * 0.50), s * 0.13, s * 0.13);
    // Display slot.
    p.setPen(Qt::NoPen);
    p.setBrush(dimmed ? QColor(200, 200, 200) : QColor(160, 200, 230));
    p.drawRect(QRectF(s * 0.50, s * 0.42, s * 0.34, s * 0.16));
}

// Two arrows turning around the centre: "trying again".
void DrawCircularArrows(QPainter& p, const QRectF& r, const QColor& colour) {
    QPen pen(colour, r.width() / 9.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(r, 30 * 16, 120 * 16);
    p.drawArc(r, 210 * 16, 120 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPointF c = r.center();
    const qreal rad = r.width() / 2.0;
    const qreal a = r.width() / 5.0;
    p.drawPolygon(QPolygonF({QPointF(c.x() - rad - a / 2, c.y() - a / 4), QPointF(c.x() - rad + a / 2, c.y() - a / 4),
                             QPointF(c.x() - rad, c.y() + a / 2)}));
    p.drawPolygon(QPolygonF({QPointF(c.x() + rad - a / 2, c.y() + a / 4), QPointF(c.x() + rad + a / 2, c.y() + a / 4),
                             QPointF(c.x() + rad, c.y() - a / 2)}));
}

}  // namespace

QPixmap BoxStateImage(BoxVisualState state, int size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    Antialiased(p);
    const qreal s = size;
    switch (state) {
        case BoxVisualState::Undefined: {
            DrawBoxCase(p, size, QColor(200, 200, 200), true);
            QFont f = p.font();
            f.setPixelSize(size / 2);
            f.setBold(true);
            p.setFont(f);
            p.setPen(QColor(120, 120, 120));
            p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, "?");
            break;
        }
        case BoxVisualState::NotConnected: {
            DrawBoxCase(p, size, QColor(220, 30, 30), false);
            // A cut cable under the box.
            p.setPen(QPen(QColor(200, 0, 0), s / 12.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.10, s * 0.90), QPointF(s * 0.40, s * 0.90));
            p.drawLine(QPointF(s * 0.60, s * 0.90), QPointF(s * 0.90, s * 0.90));
            p.drawLine(QPointF(s * 0.44, s * 0.82), QPointF(s * 0.56, s * 0.98));
            break;
        }
        case BoxVisualState::Reconnecting: {
            DrawBoxCase(p, size, QColor(250, 160, 0), false);
            DrawCircularArrows(p, QRectF(s * 0.56, s * 0.56, s * 0.38, s * 0.38), QColor(230, 120, 0));
            break;
        }
        case BoxVisualState::Connected: {
            DrawBoxCase(p, size, QColor(30, 200, 40), false);
            p.setPen(QPen(QColor(0, 150, 0), s / 12.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.10, s * 0.90), QPointF(s * 0.90, s * 0.90));
            break;
        }
    }
    return pixmap;
}

QPixmap BoxSilentImage(int size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    Antialiased(p);
    const qreal s = size;
    DrawBoxCase(p, size, QColor(120, 120, 120), false);
    // Connected (the line under it) but nothing comes: the line dashed in amber.
    p.setPen(QPen(QColor(230, 150, 0), s / 12.0, Qt::DashLine, Qt::FlatCap));
    p.drawLine(QPointF(s * 0.10, s * 0.90), QPointF(s * 0.90, s * 0.90));
    return pixmap;
}

QPixmap LinkStateImage(LinkVisualState state, int size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    Antialiased(p);
    const qreal s = size;
    QColor colour;
    switch (state) {
        case LinkVisualState::Off: colour = QColor(200, 30, 30); break;
        case LinkVisualState::Connecting: colour = QColor(240, 150, 0); break;
        case LinkVisualState::Connected: colour = QColor(20, 170, 40); break;
    }
    // Two plug halves, joined when connected, apart otherwise.
    const qreal gap = state == LinkVisualState::Connected ? 0.0 : (state == LinkVisualState::Connecting ? s * 0.08 : s * 0.18);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const qreal mid = s / 2.0;
    p.drawRoundedRect(QRectF(s * 0.10, mid - s * 0.16, mid - s * 0.10 - gap / 2, s * 0.32), s * 0.05, s * 0.05);
    p.drawRoundedRect(QRectF(mid + gap / 2, mid - s * 0.16, mid - s * 0.10 - gap / 2, s * 0.32), s * 0.05, s * 0.05);
    p.setPen(QPen(colour.darker(130), s / 12.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, mid), QPointF(s * 0.10, mid));
    p.drawLine(QPointF(s * 0.90, mid), QPointF(s, mid));
    if (state == LinkVisualState::Off) {
        p.setPen(QPen(QColor(120, 0, 0), s / 14.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(mid - s * 0.12, s * 0.15), QPointF(mid + s * 0.12, s * 0.85));
    } else if (state == LinkVisualState::Connecting) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 70, 0));
        for (int i = -1; i <= 1; ++i) p.drawEllipse(QPointF(mid + i * s * 0.12, s * 0.85), s * 0.04, s * 0.04);
    }
    return pixmap;
}

QPixmap RemovedMarkerImage(int size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    Antialiased(p);
    const qreal s = size;
    p.setPen(QPen(QColor(200, 0, 0), s / 5.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.2, s * 0.2), QPointF(s * 0.8, s * 0.8));
    p.drawLine(QPointF(s * 0.8, s * 0.2), QPointF(s * 0.2, s * 0.8));
    return pixmap;
}

QPixmap WarningImage(int size) {
    QPixmap pixmap = Blank(size);
    QPainter p(&pixmap);
    Antialiased(p);
    const qreal s = size;
    QPolygonF triangle({QPointF(s / 2, s * 0.05), QPointF(s * 0.97, s * 0.92), QPointF(s * 0.03, s * 0.92)});
    p.setPen(QPen(QColor(60, 40, 0), s / 16.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 200, 0));
    p.drawPolygon(triangle);
    p.setPen(QPen(Qt::black, s / 9.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s / 2, s * 0.35), QPointF(s / 2, s * 0.62));
    p.drawPoint(QPointF(s / 2, s * 0.78));
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap = Blank(size);
        QPainter p(&pixmap);
        Antialiased(p);
        const qreal s = size;
        // A stopwatch.
        p.setPen(QPen(QColor(20, 40, 90), s / 12.0));
        p.setBrush(QColor(235, 240, 250));
        p.drawEllipse(QPointF(s / 2, s * 0.56), s * 0.40, s * 0.40);
        p.setBrush(QColor(20, 40, 90));
        p.drawRect(QRectF(s * 0.42, s * 0.02, s * 0.16, s * 0.10));
        p.setPen(QPen(QColor(200, 30, 30), s / 12.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s / 2, s * 0.56), QPointF(s * 0.70, s * 0.36));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace lv
