#include "editor/GridIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace valmora {

namespace {

constexpr int kSize = 16;
const QColor kArrowBlue(0, 70, 200);
const QColor kTerminalRed(210, 20, 20);

QPixmap blank() {
    QPixmap p(kSize, kSize);
    p.fill(Qt::transparent);
    return p;
}

// An arrow pointing right, turned by `degrees`.
QPixmap arrow(int degrees) {
    QPixmap p = blank();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.translate(kSize / 2.0, kSize / 2.0);
    g.rotate(degrees);
    g.setPen(Qt::NoPen);
    g.setBrush(kArrowBlue);
    QPainterPath path;
    path.addRect(-6, -1.5, 7, 3);
    path.moveTo(0, -5.5);
    path.lineTo(6.5, 0);
    path.lineTo(0, 5.5);
    path.closeSubpath();
    g.drawPath(path.simplified());
    return p;
}

void useTerminalPen(QPainter& g) {
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(QPen(kTerminalRed, 1.6));
}

// A wall hydrant: a cabinet with the hose folded inside.
QPixmap hydrant() {
    QPixmap p = blank();
    QPainter painter(&p);
    useTerminalPen(painter);
    QPainter* g = &painter;
    g->drawRect(QRectF(2, 2, 12, 12));
    g->drawLine(QPointF(5, 6), QPointF(11, 6));
    g->drawLine(QPointF(5, 10), QPointF(11, 10));
    g->drawLine(QPointF(11, 6), QPointF(11, 10));
    return p;
}

// A hose reel: the drum seen from the side.
QPixmap hoseReel() {
    QPixmap p = blank();
    QPainter painter(&p);
    useTerminalPen(painter);
    QPainter* g = &painter;
    g->drawEllipse(QPointF(8, 8), 6, 6);
    g->drawEllipse(QPointF(8, 8), 2.5, 2.5);
    g->drawLine(QPointF(14, 8), QPointF(15.5, 14));
    return p;
}

// An above-ground hydrant: a column with a cap and two outlets.
QPixmap superHydrant() {
    QPixmap p = blank();
    QPainter painter(&p);
    useTerminalPen(painter);
    QPainter* g = &painter;
    g->setBrush(kTerminalRed);
    g->drawRect(QRectF(6, 4, 4, 10));
    g->drawChord(QRectF(5, 1, 6, 6), 0, 180 * 16);
    g->drawRect(QRectF(2.5, 7, 3, 2.5));
    g->drawRect(QRectF(10.5, 7, 3, 2.5));
    g->drawLine(QPointF(3, 14.5), QPointF(13, 14.5));
    return p;
}

// A sprinkler: the pipe drop, the deflector and the spray.
QPixmap nozzle() {
    QPixmap p = blank();
    QPainter painter(&p);
    useTerminalPen(painter);
    QPainter* g = &painter;
    g->drawLine(QPointF(8, 1), QPointF(8, 7));
    g->drawLine(QPointF(4, 7.5), QPointF(12, 7.5));
    g->drawLine(QPointF(7, 10), QPointF(4, 14));
    g->drawLine(QPointF(8, 10), QPointF(8, 15));
    g->drawLine(QPointF(9, 10), QPointF(12, 14));
    return p;
}

} // namespace

GridIcons::GridIcons()
    : pictures_{blank(), arrow(-90), arrow(0), arrow(90), hydrant(), hoseReel(), superHydrant(), nozzle()} {}

QPixmap GridIcons::terminalPicture(int iconIndex) const {
    switch (iconIndex) {
    case 1:
        return picture(GridIcon::Idrante);
    case 2:
        return picture(GridIcon::Naspo);
    case 3:
        return picture(GridIcon::SuperIdr);
    case 4:
        return picture(GridIcon::Ugello);
    default:
        return {};
    }
}

QString GridIcons::name(GridIcon icon) {
    static const char* const names[] = {"nulla",   "frecciasu", "frecciadx", "frecciagiu",
                                        "Idrante", "Naspo",     "SuperIdr",  "Ugello"};
    return QString::fromLatin1(names[std::size_t(icon)]);
}

} // namespace valmora
