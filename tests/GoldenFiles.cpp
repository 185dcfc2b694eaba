#include "tests/GoldenFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace valmora::testkit {

namespace {

constexpr double kMillimetresPerPoint = 25.4 / 72;

QString goldenPath(const QString& name) {
    return QStringLiteral(VALMORA_TEST_DATA_DIR "/golden/") + name;
}

} // namespace

void expectGolden(const QString& name, const QString& actual) {
    QFile file(goldenPath(name));
    if (qEnvironmentVariableIsSet("VALMORA_UPDATE_GOLDEN")) {
        QDir().mkpath(QFileInfo(file.fileName()).path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(actual.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly))
        << name.toStdString() << " is missing: VALMORA_UPDATE_GOLDEN=1 writes it (see tests/GoldenFiles.h)";
    const QStringList expected = QString::fromUtf8(file.readAll()).split(u'\n');
    const QStringList got = actual.split(u'\n');
    for (qsizetype i = 0; i < std::max(expected.size(), got.size()); ++i) {
        if (expected.value(i) != got.value(i) || i >= expected.size() || i >= got.size()) {
            ADD_FAILURE() << name.toStdString() << " line " << i + 1
                          << "\n  expected: " << expected.value(i).toStdString()
                          << "\n  actual:   " << got.value(i).toStdString();
            return;
        }
    }
}

QString pagesAsText(const std::vector<RecordedPage>& pages) {
    QString text;
    for (const RecordedPage& page : pages) {
        text += QStringLiteral("--- pagina %1 ---\n").arg(page.number);
        std::map<double, std::vector<const PageItem*>> lines;
        for (const PageItem& item : page.items)
            if ((item.kind == PageItem::Kind::Text && !item.text.isEmpty()) ||
                item.kind == PageItem::Kind::Picture)
                lines[item.y].push_back(&item);
        for (auto& [y, items] : lines) {
            std::sort(items.begin(), items.end(),
                      [](const PageItem* a, const PageItem* b) { return a->x < b->x; });
            QString line;
            for (const PageItem* item : items) {
                const double size = page.fonts[item->font].size;
                const double characterMm = FixedPitchMetrics::kAdvancePerEm * size * kMillimetresPerPoint;
                const int column = std::max(0, int(std::lround(item->x / characterMm)));
                if (line.size() < column)
                    line += QString(column - line.size(), u' ');
                else if (!line.isEmpty())
                    line += u' ';
                line += item->kind == PageItem::Kind::Picture ? u'<' + item->text + u'>' : item->text;
            }
            text += QString::asprintf("%6.1f ", y) + line + u'\n'; // where it stands on the page, in mm
        }
        // The rules and curves by how many and where they reach.
        int rules = 0;
        double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
        for (const PageItem& item : page.items)
            if (item.kind == PageItem::Kind::Line) {
                ++rules;
                left = std::min({left, item.x, item.x2});
                right = std::max({right, item.x, item.x2});
                top = std::min({top, item.y, item.y2});
                bottom = std::max({bottom, item.y, item.y2});
            }
        if (rules > 0)
            text += QString::asprintf("linee: %d, x da %.1f a %.1f, y da %.1f a %.1f\n", rules, left, right,
                                      top, bottom);
    }
    return text;
}

QString boardText(const SchemaLayout& board) {
    QString text;
    for (int r = 1; r <= board.rowCount(); ++r) {
        const SchemaRow& row = board.row(r);
        QStringList cells;
        for (int c = 0; c < board.treeCols(); ++c) {
            const SchemaCell& cell = board.cell(r, c);
            cells << schemaPictureName(cell.picture) +
                         (cell.text.isEmpty() ? QString() : QStringLiteral(":\"%1\"").arg(cell.text)) +
                         (cell.node > 0 ? QStringLiteral(" #%1").arg(cell.node) : QString()) +
                         (cell.red ? QStringLiteral(" rosso") : QString()) +
                         (cell.warning.isEmpty() ? QString() : QStringLiteral(" [") + cell.warning + u']');
        }
        text += cells.join(QStringLiteral(" | ")) + QStringLiteral(" || ") + row.flow + u'|' + row.height +
                u'|' + row.type + QStringLiteral(" riga %1").arg(row.rowData) +
                (row.openEnd > 0 ? QStringLiteral(" aperta %1").arg(row.openEnd) : QString()) +
                (row.warning.isEmpty() ? QString() : QStringLiteral(" [") + row.warning + u']') + u'\n';
    }
    return text + board.flowCaption() + u'\n';
}

} // namespace valmora::testkit
