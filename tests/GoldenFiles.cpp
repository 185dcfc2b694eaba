#include "tests/GoldenFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

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

// Where the output that differs from its golden file is left, to be read or compared.
QString actualPath(const QString& name) {
    return QDir::tempPath() + QStringLiteral("/valmora-golden-actual/") + name;
}

// The whole difference, as `diff -u` gives it; empty when it cannot be run.
QString unifiedDiff(const QString& expectedPath, const QString& actual, const QString& name) {
    const QString path = actualPath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return {};
    out.write(actual.toUtf8());
    out.close();
    QProcess diff;
    diff.start(QStringLiteral("diff"), {QStringLiteral("-u"), expectedPath, path});
    if (!diff.waitForFinished(30000))
        return {};
    return QString::fromUtf8(diff.readAllStandardOutput());
}

// The first line that differs, where no diff can be run.
QString firstDifference(const QStringList& expected, const QStringList& got) {
    for (qsizetype i = 0; i < std::max(expected.size(), got.size()); ++i)
        if (expected.value(i) != got.value(i) || i >= expected.size() || i >= got.size())
            return QStringLiteral("line %1\n  expected: %2\n  actual:   %3")
                .arg(i + 1)
                .arg(expected.value(i), got.value(i));
    return {};
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
    const QString expected = QString::fromUtf8(file.readAll());
    if (expected == actual)
        return;
    QString difference = unifiedDiff(file.fileName(), actual, name);
    if (difference.isEmpty())
        difference = firstDifference(expected.split(u'\n'), actual.split(u'\n'));
    ADD_FAILURE() << name.toStdString() << " differs from its golden file (the output is in "
                  << actualPath(name).toStdString() << "):\n"
                  << difference.toStdString();
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
