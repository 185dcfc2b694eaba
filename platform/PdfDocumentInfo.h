#pragma once

// What a PDF says of itself, for an archive and a digital signature: its title, author and
// subject, both in the document's information dictionary and in its XMP metadata (PDF/A-1b
// asks the two to agree). Qt's writer sets the title and creator; the author and subject are
// added to the file it wrote, the cross-reference table moved to match.

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <utility>

namespace valmora {

struct PdfDocumentInfo {
    // From a title alone, as the schema and the curves give it.
    PdfDocumentInfo(QString documentTitle = {}, QString documentAuthor = {}, QString documentSubject = {})
        : title(std::move(documentTitle)), author(std::move(documentAuthor)),
          subject(std::move(documentSubject)) {}
    QString title;
    QString author;  // the designer
    QString subject; // what the document is of
};

inline const QString kPdfCreatorTool = QStringLiteral("Valmora");

// A project's document: "<document> - <what it is of, or the file's name>", by the designer,
// of the system's subject, client and site as far as they are given.
PdfDocumentInfo projectDocumentInfo(const QString& document, const QString& projectPath,
                                    const QString& designer, const QString& subject, const QString& client,
                                    const QString& site);

// The XMP packet of a PDF/A-1b document made at `created` (UTC, whole seconds).
QByteArray pdfaMetadataPacket(const PdfDocumentInfo& info, const QDateTime& created, const QString& producer);

// `pdf` (as the writer made it, its information dictionary the first object) with the author
// and subject added to that dictionary and its creation date set to `created`; the
// cross-reference table and its start moved to match. nullopt when the file is not laid out
// as expected: the caller keeps it as it is.
std::optional<QByteArray> withDocumentInfo(const QByteArray& pdf, const PdfDocumentInfo& info,
                                           const QDateTime& created);

// A text as a PDF string: UTF-16BE with its byte order mark, in hexadecimal ("<FEFF0041>").
QByteArray pdfTextString(const QString& text);

} // namespace valmora
