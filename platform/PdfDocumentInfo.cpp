#include "platform/PdfDocumentInfo.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

namespace valmora {

namespace {

QString xmlEscaped(const QString& text) {
    return text.toHtmlEscaped().replace(u'\'', QStringLiteral("&apos;"));
}

QString xmpDate(const QDateTime& created) {
    return created.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

QByteArray infoDate(const QDateTime& created) {
    return "D:" + created.toUTC().toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1() + 'Z';
}

constexpr int kXrefEntryBytes = 20; // "0000012345 00000 n \n"
constexpr int kOffsetDigits = 10;

// The objects' offsets past `at` moved by `shift`, in the table that starts at `xref`.
bool shiftCrossReferences(QByteArray& pdf, qsizetype xref, qsizetype at, qsizetype shift) {
    qsizetype line = pdf.indexOf('\n', xref) + 1; // past "xref"
    const qsizetype sectionEnd = pdf.indexOf("trailer", xref);
    if (line <= 0 || sectionEnd < 0)
        return false;
    while (line < sectionEnd) {
        // A subsection: "first count", then count entries.
        const qsizetype headerEnd = pdf.indexOf('\n', line);
        const QList<QByteArray> header = pdf.mid(line, headerEnd - line).trimmed().split(' ');
        bool ok = header.size() == 2;
        const int count = ok ? header[1].toInt(&ok) : 0;
        if (!ok)
            return false;
        line = headerEnd + 1;
        for (int i = 0; i < count; ++i, line += kXrefEntryBytes) {
            if (line + kXrefEntryBytes > sectionEnd || pdf[line + 17] != 'n')
                continue; // a free entry keeps its zeros
            const qlonglong offset = pdf.mid(line, kOffsetDigits).toLongLong(&ok);
            if (!ok)
                return false;
            if (offset >= at)
                pdf.replace(line, kOffsetDigits,
                            QByteArray::number(offset + shift).rightJustified(kOffsetDigits, '0'));
        }
    }
    return true;
}

} // namespace

PdfDocumentInfo projectDocumentInfo(const QString& document, const QString& projectPath,
                                    const QString& designer, const QString& subject, const QString& client,
                                    const QString& site) {
    const QString file = projectPath.section(u'/', -1);
    const QString what = subject.simplified().isEmpty() ? file : subject.simplified();
    QStringList about{QStringLiteral("Impianto idrico antincendio")};
    for (const QString& part : {subject, client, site})
        if (!part.simplified().isEmpty())
            about << part.simplified();
    return {document + QStringLiteral(" - ") + what, designer.simplified(),
            about.join(QStringLiteral(" - "))};
}

QByteArray pdfTextString(const QString& text) {
    QByteArray hex = "<FEFF";
    for (const QChar c : text)
        hex += QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper();
    return hex + '>';
}

QByteArray pdfaMetadataPacket(const PdfDocumentInfo& info, const QDateTime& created,
                              const QString& producer) {
    const QString date = xmpDate(created);
    const QString packet =
        QStringLiteral(
            "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
            "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
            "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
            "    <rdf:Description xmlns:dc=\"http://purl.org/dc/elements/1.1/\" rdf:about=\"\">\n"
            "      <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li></rdf:Alt></dc:title>\n"
            "%2%3"
            "    </rdf:Description>\n"
            "    <rdf:Description xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" rdf:about=\"\" "
            "xmp:CreatorTool=\"%4\" "
            "xmp:CreateDate=\"%5\" xmp:ModifyDate=\"%5\"/>\n"
            "    <rdf:Description xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" rdf:about=\"\" "
            "pdf:Producer=\"%6\"/>\n"
            "    <rdf:Description xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\" rdf:about=\"\" "
            "pdfaid:part=\"1\" "
            "pdfaid:conformance=\"B\"/>\n"
            "  </rdf:RDF>\n"
            "</x:xmpmeta>\n"
            "<?xpacket end='w'?>")
            .arg(xmlEscaped(info.title),
                 // An empty author or subject is left out, as it is of the information dictionary.
                 info.author.isEmpty()
                     ? QString()
                     : QStringLiteral(
                           "      <dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq></dc:creator>\n")
                           .arg(xmlEscaped(info.author)),
                 info.subject.isEmpty()
                     ? QString()
                     : QStringLiteral("      <dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">%1"
                                      "</rdf:li></rdf:Alt></dc:description>\n")
                           .arg(xmlEscaped(info.subject)),
                 xmlEscaped(kPdfCreatorTool), date, xmlEscaped(producer));
    return packet.toUtf8();
}

std::optional<QByteArray> withDocumentInfo(const QByteArray& pdf, const PdfDocumentInfo& info,
                                           const QDateTime& created) {
    QByteArray out = pdf;
    // The information dictionary: "1 0 obj\n<<\n/Title (...)...\n/CreationDate (D:...)\n>>\nendobj".
    const qsizetype objectStart = out.indexOf("\n1 0 obj\n");
    const qsizetype dictionaryEnd = objectStart < 0 ? -1 : out.indexOf(">>\nendobj", objectStart);
    const qsizetype date = objectStart < 0 ? -1 : out.indexOf("/CreationDate (", objectStart);
    if (dictionaryEnd < 0 || date < 0 || date > dictionaryEnd)
        return std::nullopt;
    const qsizetype dateStart = date + qsizetype(sizeof("/CreationDate (") - 1);
    const qsizetype dateEnd = out.indexOf(')', dateStart);
    if (dateEnd < 0 || dateEnd > dictionaryEnd)
        return std::nullopt;
    const qsizetype before = out.size();
    QByteArray added;
    if (!info.author.isEmpty())
        added += "/Author " + pdfTextString(info.author) + '\n';
    if (!info.subject.isEmpty())
        added += "/Subject " + pdfTextString(info.subject) + '\n';
    out.insert(dictionaryEnd, added);
    out.replace(dateStart, dateEnd - dateStart, infoDate(created));
    const qsizetype shift = out.size() - before;

    // The table is found from its start, the number before the end of file.
    const qsizetype startxref = out.lastIndexOf("startxref\n");
    if (startxref < 0)
        return std::nullopt;
    const qsizetype numberStart = startxref + qsizetype(sizeof("startxref\n") - 1);
    const qsizetype numberEnd = out.indexOf('\n', numberStart);
    bool ok = false;
    const qlonglong xref = out.mid(numberStart, numberEnd - numberStart).trimmed().toLongLong(&ok);
    if (!ok || xref <= objectStart)
        return std::nullopt;
    const qsizetype movedXref = qsizetype(xref) + shift;
    if (!out.mid(movedXref).startsWith("xref") || !shiftCrossReferences(out, movedXref, date, shift))
        return std::nullopt;
    out.replace(numberStart, numberEnd - numberStart, QByteArray::number(movedXref) + ' ');
    return out;
}

} // namespace valmora
