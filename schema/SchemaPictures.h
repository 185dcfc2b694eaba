#pragma once

// The ten pictures of the schema, drawn in code at their 40 x 26 pixel geometry and scaled
// to whatever they are drawn into: a screen of any density, a printed page, a PDF.

#include "platform/PagePainter.h"
#include "schema/SchemaLayout.h"

#include <QPixmap>
#include <QRectF>

class QPainter;

namespace valmora {

// Paints the picture into `target`, white background included.
void paintSchemaPicture(QPainter& painter, SchemaPicture picture, const QRectF& target);
// The picture for a screen of that pixel density, 40 x 26 device-independent pixels.
QPixmap schemaPixmap(SchemaPicture picture, qreal devicePixelRatio);
// The picture of that name (see schemaPictureName); None for an unknown name.
SchemaPicture schemaPictureNamed(const QString& name);
// Paints the schema's pictures on a printed page.
PicturePainter schemaPicturePainter();

} // namespace valmora
