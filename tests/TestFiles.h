#pragma once

#include "model/Project.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>

#include <ostream>

// Texts in failure messages as texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace valmora::testkit {

// The catalogues shipped in data/.
QString shippedDataDirectory();
Project projectWithShippedCatalogues();

inline const QLocale kItalian(QLocale::Italian, QLocale::Italy);

// The default locale for one scope, then the previous one again.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(previous_); }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    QLocale previous_;
};

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

// Every field that a project file stores, with the tree compared as the file sees it:
// nodes in file order, their links given as positions in that order.
struct StoredNode {
    QString name;
    float length;
    float virtualLength;
    int16_t diameterIndex;
    int16_t seriesIndex;
    bool closed;
    bool diameterLocked;
    int next;       // position of next in file order, or the end kind
    int derivation; // position of the derivation, or 0
    int parent;     // position of the parent, 0 for the root
    int terminalType;
    float terminalHeight;
    bool operator==(const StoredNode& o) const;
};
std::vector<StoredNode> storedNetwork(const Project& project);

} // namespace valmora::testkit
