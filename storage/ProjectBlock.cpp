#include "storage/ProjectBlock.h"

#include "model/MessageText.h"
#include "platform/FileAccess.h"
#include "storage/SettingEntries.h"

#include <QStringList>

#include <cmath>
#include <optional>

namespace valmora {

namespace {

const QString kSettingsLineName = QStringLiteral("verifica");
const QString kOptionsLineName = QStringLiteral("opzioni");
const QString kPressureUnitKey = QStringLiteral("pressione");
const QString kReportLineName = QStringLiteral("relazione");
constexpr int kSettingLineValues = 3; // name, key, value
const QString kOldSettingsExtension = QStringLiteral("verifica");
constexpr QChar kOldKeySeparator = u'=';
constexpr QChar kOldCommentMark = u'#';

QString lineText(const BlockLine& line) {
    QStringList values;
    for (const BlockValue& value : line)
        values << (value.quoted ? fileTextValue(value.text) : value.text);
    return values.join(u',');
}

// The rest of the line whose first value is `first`.
BlockLine readLine(FreeFormatReader& reader, const FreeFormatReader::Value& first) {
    BlockLine line{{first.text, first.quoted}};
    while (!reader.lastEndedLine()) {
        const FreeFormatReader::Value value = reader.next(QStringLiteral("un valore"));
        line.push_back({value.text, value.quoted});
    }
    return line;
}

ReadNotice notice(ReadNotice::Kind kind, int line, const QString& message) {
    return {kind, QString(), line, message};
}

// Longest part of a line that a notice quotes, in characters.
constexpr int kShownLineLength = 60;

QString refusalOf(const QString& line, const QString& why) {
    return QStringLiteral("%1: %2").arg(cutToFit(oneLine(line), kShownLineLength), why);
}

// One setting taken into `settings`, or the notice that says why not.
std::optional<ReadNotice> takeSetting(const SettingEntryReader& entries, StandardSettings& settings,
                                      const QString& key, const QString& value, int line,
                                      const QString& shownLine) {
    const SettingEntryReader::Result taken = entries.take(settings, key, value);
    switch (taken.outcome) {
    case SettingEntryReader::Outcome::Taken:
        return std::nullopt;
    case SettingEntryReader::Outcome::UnknownKey:
        return notice(ReadNotice::Kind::Refused, line,
                      refusalOf(shownLine, QStringLiteral("impostazione sconosciuta")));
    case SettingEntryReader::Outcome::Refused:
        break;
    }
    return notice(ReadNotice::Kind::Refused, line, refusalOf(shownLine, taken.why));
}

void readBlockVersion(FreeFormatReader& reader, int nameLine, BlockRead& read) {
    if (reader.lastEndedLine()) {
        read.notices.push_back(notice(ReadNotice::Kind::Refused, nameLine,
                                      QStringLiteral("manca la versione del blocco \"Valmora\"")));
        return;
    }
    const FreeFormatReader::Value version = reader.next(QStringLiteral("la versione"));
    const BlockLine rest = readLine(reader, version);
    const std::optional<double> number = FreeFormatReader::parseDouble(version.text);
    if (!number || *number < 1 || *number != std::floor(*number))
        read.notices.push_back(notice(ReadNotice::Kind::Refused, nameLine,
                                      QStringLiteral("versione del blocco \"Valmora\" illeggibile: %1")
                                          .arg(quotedExcerpt(version.text))));
    else if (*number > kBlockVersion)
        read.notices.push_back(
            notice(ReadNotice::Kind::Kept, nameLine,
                   QStringLiteral("blocco scritto da una versione più recente (%1): le righe che questa "
                                  "versione non conosce sono conservate")
                       .arg(version.text)));
}

QString keyedLine(const QString& name, const QString& key, const QString& value) {
    return fileTextValue(name) + u',' + fileTextValue(key) + u',' + fileTextValue(value) +
           QStringLiteral("\r\n");
}

std::optional<ReadNotice> takeReportValue(ReportData& report, const QString& key, const QString& value,
                                          int line, const QString& shownLine) {
    for (const ReportField& f : kReportFields)
        if (key == QString::fromUtf16(f.key)) {
            report.*(f.field) = value;
            return std::nullopt;
        }
    return notice(ReadNotice::Kind::Refused, line,
                  refusalOf(shownLine, QStringLiteral("dato della relazione sconosciuto")));
}

std::optional<ReadNotice> takeOption(PressureUnit& unit, const QString& key, const QString& value, int line,
                                     const QString& shownLine) {
    if (key != kPressureUnitKey)
        return notice(ReadNotice::Kind::Refused, line,
                      refusalOf(shownLine, QStringLiteral("opzione sconosciuta")));
    const std::optional<PressureUnit> read = pressureUnitFromKey(value);
    if (!read)
        return notice(ReadNotice::Kind::Refused, line,
                      refusalOf(shownLine, QStringLiteral("unità di pressione sconosciuta: restano i mm")));
    unit = *read;
    return std::nullopt;
}

} // namespace

const std::array<ReportField, 8> kReportFields = {{
    {u"committente", &ReportData::committente},
    {u"ubicazione", &ReportData::ubicazione},
    {u"oggetto", &ReportData::oggetto},
    {u"progettista", &ReportData::progettista},
    {u"iscrizione", &ReportData::iscrizione},
    {u"revisione", &ReportData::revisione},
    {u"data", &ReportData::data},
    {u"noteRevisione", &ReportData::noteRevisione},
}};

QString fileTextValue(const QString& text) {
    // A double quote cannot stand inside a quoted value: it becomes an apostrophe.
    QString body = text;
    body.replace(u'"', u'\'');
    return u'"' + body + u'"';
}

bool needsBlock(const Project& project) {
    return project.blockInFile || !project.keptBlockLines.empty() ||
           !(project.standardSettings == StandardSettings{}) || !project.reportData.isEmpty() ||
           project.pressureUnit != PressureUnit::Millimetres;
}

QString projectBlockText(const Project& project) {
    const QString end = QStringLiteral("\r\n");
    QString text = fileTextValue(kBlockName) + u',' + QString::number(kBlockVersion) + end;
    if (!(project.standardSettings == StandardSettings{}))
        for (const SettingEntry& entry : settingEntries(project.standardSettings, project))
            text += fileTextValue(kSettingsLineName) + u',' + fileTextValue(entry.key) + u',' +
                    fileTextValue(entry.value) + end;
    if (project.pressureUnit != PressureUnit::Millimetres)
        text += keyedLine(kOptionsLineName, kPressureUnitKey, pressureUnitKey(project.pressureUnit));
    for (const ReportField& f : kReportFields)
        if (const QString& value = project.reportData.*(f.field); !value.isEmpty())
            text += keyedLine(kReportLineName, QString::fromUtf16(f.key), value);
    for (const BlockLine& line : project.keptBlockLines)
        text += lineText(line) + end;
    return text;
}

BlockRead readProjectBlock(FreeFormatReader& reader, int nameLine, const Project& network) {
    BlockRead read;
    const SettingEntryReader entries(network);
    try {
        readBlockVersion(reader, nameLine, read);
        while (!reader.atEnd()) {
            const FreeFormatReader::Value first = reader.next(QStringLiteral("il nome della riga"));
            const BlockLine line = readLine(reader, first);
            const QString shown = lineText(line);
            if (first.text == kSettingsLineName && line.size() == kSettingLineValues) {
                if (auto refused =
                        takeSetting(entries, read.settings, line[1].text, line[2].text, first.line, shown))
                    read.notices.push_back(*refused);
            } else if (first.text == kReportLineName && line.size() == kSettingLineValues) {
                if (auto refused =
                        takeReportValue(read.report, line[1].text, line[2].text, first.line, shown))
                    read.notices.push_back(*refused);
            } else if (first.text == kOptionsLineName && line.size() == kSettingLineValues) {
                if (auto refused =
                        takeOption(read.pressureUnit, line[1].text, line[2].text, first.line, shown))
                    read.notices.push_back(*refused);
            } else if (first.text == kSettingsLineName || first.text == kBlockName ||
                       first.text == kReportLineName || first.text == kOptionsLineName) {
                read.notices.push_back(notice(ReadNotice::Kind::Refused, first.line,
                                              refusalOf(shown, QStringLiteral("riga malformata"))));
            } else {
                read.kept.push_back(line);
                read.notices.push_back(notice(
                    ReadNotice::Kind::Kept, first.line,
                    refusalOf(shown,
                              QStringLiteral("riga di una versione più recente: conservata, non usata"))));
            }
        }
    } catch (const FormatError& error) {
        // Nothing after a value that cannot be read (a quote never closed) can be told apart.
        read.notices.push_back(notice(ReadNotice::Kind::Refused, error.line,
                                      error.message + QStringLiteral(": il resto del blocco non è letto")));
    }
    return read;
}

QString oldSettingsPath(const QString& projectPath) {
    // The name's last extension replaced, in the same folder: "capannone.vlm" -> "capannone.verifica".
    // Worked on the text, so that a name in any bytes names the file beside it.
    const qsizetype slash = projectPath.lastIndexOf(u'/');
    const qsizetype dot = projectPath.lastIndexOf(u'.');
    const QString stem = dot > slash + 1 ? projectPath.left(dot) : projectPath;
    return stem + u'.' + kOldSettingsExtension;
}

OldSettingsRead readOldSettingsFile(const Project& project, const QString& projectPath) {
    OldSettingsRead read;
    const QString path = oldSettingsPath(projectPath);
    const FileRead file = readDataFile(path);
    if (file.missing)
        return read;
    read.found = true;
    if (!file.bytes) {
        read.notices.push_back({ReadNotice::Kind::Refused, path, 0, file.reason});
        return read;
    }
    const SettingEntryReader entries(project);
    const QStringList lines = QString::fromUtf8(*file.bytes).split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].section(kOldCommentMark, 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QString key = line.section(kOldKeySeparator, 0, 0).trimmed();
        const QString value = line.section(kOldKeySeparator, 1).trimmed();
        if (auto refused = takeSetting(entries, read.settings, key, value, n + 1, line)) {
            refused->file = path;
            read.notices.push_back(*refused);
        }
    }
    return read;
}

} // namespace valmora
