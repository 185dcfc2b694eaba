#include "storage/ProjectBlock.h"

#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"
#include "platform/FileAccess.h"
#include "storage/ProjectFile.h"
#include "storage/SettingEntries.h"

#include <QStringList>

#include <cmath>
#include <optional>
#include <variant>

namespace valmora {

namespace {

const QString kSettingsLineName = QStringLiteral("verifica");
const QString kOptionsLineName = QStringLiteral("opzioni");
const QString kPressureUnitKey = QStringLiteral("pressione");
const QString kReportLineName = QStringLiteral("relazione");
constexpr int kSettingLineValues = 3; // name, key, value
const QString kLoopLineName = QStringLiteral("anello");
constexpr int kLoopLineValues = 9; // name, A, B, length, virtual length, diameter, series, status, pipe name
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

// A node's position in the project file (1-based), which is its index once the file is read.
std::vector<int> filePositions(const Project& project) {
    std::vector<int> position(project.NodeTable.size(), 0);
    int at = 0;
    for (const int16_t node : networkPreorder(project))
        position[std::size_t(node)] = ++at;
    return position;
}

QString loopLineText(const LoopPipe& pipe, const std::vector<int>& position) {
    const int16_t status = static_cast<int16_t>((pipe.closed ? kStatusClosed : 0) |
                                                (pipe.diameterLocked ? kStatusDiameterLocked : 0));
    return QStringList{fileTextValue(kLoopLineName),
                       QString::number(position[std::size_t(pipe.nodeA)]),
                       QString::number(position[std::size_t(pipe.nodeB)]),
                       fileNumber(pipe.length),
                       fileNumber(pipe.virtualLength),
                       QString::number(pipe.diameterIndex),
                       QString::number(pipe.seriesIndex),
                       QString::number(status),
                       fileTextValue(pipe.name.trimmed())}
        .join(u',');
}

// A whole number within [low, high] written as a line's value, or none.
std::optional<int> wholeNumberIn(const BlockValue& value, int low, int high) {
    if (value.quoted)
        return std::nullopt;
    const std::optional<double> number = FreeFormatReader::parseDouble(value.text);
    if (!number || *number != std::floor(*number) || *number < low || *number > high)
        return std::nullopt;
    return int(*number);
}

// A length written as a line's value: a finite number of a float, at least 0.
std::optional<float> lengthValue(const BlockValue& value) {
    if (value.quoted)
        return std::nullopt;
    const std::optional<double> number = FreeFormatReader::parseDouble(value.text);
    if (!number || !std::isfinite(float(*number)) || *number < 0)
        return std::nullopt;
    return float(*number);
}

// A loop pipe from its line, or why it cannot be one. Node numbers are file positions, which
// are the indexes of the network just read.
std::variant<LoopPipe, QString> loopPipeOf(const BlockLine& line, const Project& network) {
    LoopPipe pipe;
    const std::optional<int> a = wholeNumberIn(line[1], 1, network.nodeCount());
    const std::optional<int> b = wholeNumberIn(line[2], 1, network.nodeCount());
    if (!a || !b)
        return QStringLiteral("nodi dell'anello inesistenti");
    if (*a == *b)
        return QStringLiteral("l'anello chiude un nodo su sé stesso");
    pipe.nodeA = static_cast<int16_t>(*a);
    pipe.nodeB = static_cast<int16_t>(*b);
    const std::optional<float> length = lengthValue(line[3]);
    const std::optional<float> virtualLength = lengthValue(line[4]);
    if (!length || !virtualLength)
        return QStringLiteral("lunghezza dell'anello illeggibile");
    pipe.length = *length;
    pipe.virtualLength = *virtualLength;
    const std::optional<int> diameter = wholeNumberIn(line[5], 0, kMaxTableIndex);
    const std::optional<int> series = wholeNumberIn(line[6], 0, kMaxTableIndex);
    if (!series || !network.isValidSeriesIndex(*series))
        return QStringLiteral("la serie di tubi dell'anello non esiste nel catalogo");
    pipe.seriesIndex = static_cast<int16_t>(*series);
    // A KV element has no diameters: its diameter index is kept as it is.
    if (!diameter || (pipe.seriesIndex != 0 && !network.isValidDiameterIndex(*series, *diameter)))
        return QStringLiteral("il diametro dell'anello non esiste nella serie");
    pipe.diameterIndex = static_cast<int16_t>(*diameter);
    const std::optional<int> status = wholeNumberIn(line[7], 0, kStatusClosed | kStatusDiameterLocked);
    if (!status)
        return QStringLiteral("stato dell'anello illeggibile");
    pipe.closed = (*status & kStatusClosed) != 0;
    pipe.diameterLocked = (*status & kStatusDiameterLocked) != 0;
    if (!line[8].quoted)
        return QStringLiteral("nome dell'anello illeggibile");
    pipe.name = line[8].text.trimmed();
    return pipe;
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
           project.pressureUnit != PressureUnit::Millimetres || !project.loopPipes.empty();
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
    if (!project.loopPipes.empty()) {
        const std::vector<int> position = filePositions(project);
        for (const LoopPipe& pipe : project.loopPipes)
            // A pipe on a node the tree no longer reaches is not the network's: it is not written.
            if (position[std::size_t(pipe.nodeA)] > 0 && position[std::size_t(pipe.nodeB)] > 0)
                text += loopLineText(pipe, position) + end;
    }
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
            } else if (first.text == kLoopLineName && line.size() == kLoopLineValues) {
                const std::variant<LoopPipe, QString> pipe = loopPipeOf(line, network);
                if (const LoopPipe* taken = std::get_if<LoopPipe>(&pipe))
                    read.loopPipes.push_back(*taken);
                else
                    read.notices.push_back(notice(ReadNotice::Kind::Refused, first.line,
                                                  refusalOf(shown, std::get<QString>(pipe))));
            } else if (first.text == kSettingsLineName || first.text == kBlockName ||
                       first.text == kReportLineName || first.text == kOptionsLineName ||
                       first.text == kLoopLineName) {
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
