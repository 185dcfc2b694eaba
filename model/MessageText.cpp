#include "model/MessageText.h"

#include <array>
#include <utility>

namespace valmora {

namespace {

constexpr QChar kEllipsis = u'\u2026';
constexpr QChar kBlank = u' ';

// Articles and their fusion with "in", longest first so that "lo " is not taken for "l'".
const std::array<std::pair<QLatin1String, QLatin1String>, 7> kInWithArticle = {{
    {QLatin1String("gli "), QLatin1String("negli ")},
    {QLatin1String("il "), QLatin1String("nel ")},
    {QLatin1String("lo "), QLatin1String("nello ")},
    {QLatin1String("la "), QLatin1String("nella ")},
    {QLatin1String("le "), QLatin1String("nelle ")},
    {QLatin1String("l'"), QLatin1String("nell'")},
    {QLatin1String("i "), QLatin1String("nei ")},
}};

bool isLineBreaking(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}

} // namespace

QString oneLine(const QString& text) {
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar& c : line)
        if (isLineBreaking(c))
            c = kBlank;
    return line;
}

QString cutToFit(const QString& text, int characters) {
    if (text.size() <= characters)
        return text;
    if (characters <= 0)
        return {};
    return text.left(characters - 1) + kCutMark;
}

QString quotedExcerpt(const QString& text) {
    QString excerpt = text.left(kMessageExcerptLength);
    for (QChar& c : excerpt)
        if (isLineBreaking(c))
            c = kBlank;
    if (text.size() > kMessageExcerptLength)
        excerpt += kEllipsis;
    return u'"' + excerpt + u'"';
}

QString inArticled(const QString& what) {
    for (const auto& [article, fused] : kInWithArticle)
        if (what.startsWith(article))
            return fused + what.mid(article.size());
    return QStringLiteral("in ") + what;
}

} // namespace valmora
