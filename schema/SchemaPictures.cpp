#include "schema/SchemaPictures.h"

#include <QPainter>
#include <QPainterPath>

namespace valmora {

namespace {

// Geometry in the picture's own pixels.
constexpr double kPipeThickness = 5;
constexpr double kHorizontalPipeTop = 18; // pixel rows 18 to 22
constexpr double kPipeMiddleX = kVerticalPipeLeft + kPipeThickness / 2;
constexpr double kPipeMiddleY = kHorizontalPipeTop + kPipeThickness / 2;
constexpr double kTerminalLead = 16; // length of pipe leading into a terminal symbol
const QColor kPipeBlue(0, 0, 255);
const QColor kTerminalRed(255, 0, 0);
const QColor kBarsGreen(0, 160, 0);

void pipe(QPainter& p, double x, double y, double w, double h) {
    p.fillRect(QRectF(x, y, w, h), kPipeBlue);
}

void verticalPipe(QPainter& p, double top, double bottom) {
    pipe(p, kVerticalPipeLeft, top, kPipeThickness, bottom - top);
}

void horizontalPipe(QPainter& p, double left, double right) {
    pipe(p, left, kHorizontalPipeTop, right - left, kPipeThickness);
}

void elbow(QPainter& p) {
    QPainterPath path(QPointF(kPipeMiddleX, 0));
    path.lineTo(kPipeMiddleX, kPipeMiddleY - kPipeThickness);
    path.quadTo(kPipeMiddleX, kPipeMiddleY, kPipeMiddleX + kPipeThickness, kPipeMiddleY);
    path.lineTo(kPictureWidth, kPipeMiddleY);
    p.setRenderHint(QPainter::Antialiasing);
    p.strokePath(path, QPen(kPipeBlue, kPipeThickness, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
}

// The terminal symbols stand below this row, under the line of the label written at the top
// of the cell (the terminal's diameter): a symbol must never cover it.
constexpr double kSymbolTop = 12;

void hydrant(QPainter& p, double left, double width) {
    p.setRenderHint(QPainter::Antialiasing);
    constexpr double kCapHeight = 6;
    const QRectF body(left, kSymbolTop + kCapHeight / 2, width,
                      kPictureHeight - 1 - kSymbolTop - kCapHeight / 2);
    p.setBrush(kTerminalRed);
    p.setPen(Qt::NoPen);
    p.drawRect(body);
    p.drawChord(QRectF(left, kSymbolTop, width, kCapHeight), 0, 180 * 16);  // the cap
    p.fillRect(QRectF(left + width, kPipeMiddleY - 2, 3, 4), kTerminalRed); // an outlet
}

void hoseReel(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    constexpr double kRadius = 6.5;
    const QPointF centre(kTerminalLead + kRadius + 1, kSymbolTop + kRadius + 1);
    p.setPen(QPen(kTerminalRed, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, kRadius, kRadius);
    p.setBrush(kTerminalRed);
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, 2.5, 2.5);
}

void nozzle(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kTerminalRed);
    const double x = kTerminalLead;
    // The head on the pipe, narrowing downward, and the deflector below it.
    QPolygonF head;
    head << QPointF(x, kHorizontalPipeTop - 3) << QPointF(x + 9, kHorizontalPipeTop - 3)
         << QPointF(x + 6, kPictureHeight - 3) << QPointF(x + 3, kPictureHeight - 3);
    p.drawPolygon(head);
    p.fillRect(QRectF(x - 3, kPictureHeight - 2, 15, 2), kTerminalRed);
}

void bars(QPainter& p) {
    for (int i = 0; i < 3; ++i)
        p.fillRect(QRectF(kTerminalLead + 3 + 7 * i, kSymbolTop, 4, kPictureHeight - 2 - kSymbolTop),
                   kBarsGreen);
}

} // namespace

void paintSchemaPicture(QPainter& painter, SchemaPicture picture, const QRectF& target) {
    if (picture == SchemaPicture::None)
        return;
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / kPictureWidth, target.height() / kPictureHeight);
    painter.fillRect(QRectF(0, 0, kPictureWidth, kPictureHeight), Qt::white);
    switch (picture) {
    case SchemaPicture::None:
        break;
    case SchemaPicture::vert:
        verticalPipe(painter, 0, kPictureHeight);
        break;
    case SchemaPicture::destra:
        verticalPipe(painter, 0, kPictureHeight);
        horizontalPipe(painter, kVerticalPipeLeft + kPipeThickness, kPictureWidth);
        break;
    case SchemaPicture::giu:
        horizontalPipe(painter, 0, kPictureWidth);
        verticalPipe(painter, kHorizontalPipeTop + kPipeThickness, kPictureHeight);
        break;
    case SchemaPicture::orizz:
        horizontalPipe(painter, 0, kPictureWidth);
        break;
    case SchemaPicture::curva30:
        elbow(painter);
        break;
    case SchemaPicture::Idrante:
        horizontalPipe(painter, 0, kTerminalLead + 1);
        hydrant(painter, kTerminalLead, 10);
        break;
    case SchemaPicture::Naspo:
        horizontalPipe(painter, 0, kTerminalLead + 1);
        hoseReel(painter);
        break;
    case SchemaPicture::SuperIdr:
        horizontalPipe(painter, 0, kTerminalLead + 1);
        hydrant(painter, kTerminalLead + 2, 14);
        painter.fillRect(QRectF(kTerminalLead + 7, kSymbolTop - 1, 4, 3), kTerminalRed); // the upper outlet
        break;
    case SchemaPicture::Ugello:
        horizontalPipe(painter, 0, kTerminalLead + 9);
        nozzle(painter);
        break;
    case SchemaPicture::Rad30x40:
        horizontalPipe(painter, 0, kTerminalLead + 2);
        bars(painter);
        break;
    }
    painter.restore();
}

QPixmap schemaPixmap(SchemaPicture picture, qreal devicePixelRatio) {
    QPixmap pixmap(
        QSize(qRound(kPictureWidth * devicePixelRatio), qRound(kPictureHeight * devicePixelRatio)));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    paintSchemaPicture(painter, picture, QRectF(0, 0, kPictureWidth, kPictureHeight));
    return pixmap;
}

SchemaPicture schemaPictureNamed(const QString& name) {
    for (int i = 1; i <= kSchemaPictureCount; ++i)
        if (schemaPictureName(SchemaPicture(i)) == name)
            return SchemaPicture(i);
    return SchemaPicture::None;
}

PicturePainter schemaPicturePainter() {
    return [](QPainter& painter, const QString& name, const QRectF& target) {
        paintSchemaPicture(painter, schemaPictureNamed(name), target);
    };
}

} // namespace valmora
