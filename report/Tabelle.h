#pragma once

// The printed calculation report: the page header, one framed table per branch with the
// line on its end, the pipe materials and the terminal list, on a print surface.

#include "model/DerivedQuantities.h"
#include "model/Project.h"
#include "model/Verification.h"
#include "platform/PrintSurface.h"
#include "standards/StandardVerification.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

namespace valmora {

struct ReportSections {
    bool nodes = true;
    bool materials = true;
    bool terminals = true;
    bool verification = false; // the verification against the standard set for the project
    bool curves = false;       // the supply and demand curves, a page of their own

    bool any() const { return nodes || materials || terminals || verification || curves; }
    // Every section the project has something for: the verification and the curves once a
    // standard or a supply curve is set (the preview, and the report when none is named).
    static ReportSections everything(const Project& project);
};

// The report is laid out for the printer's A4 page, whatever draws it: the printer, a PDF
// file, the preview, which shows the same pages with the same breaks.
struct ReportOptions {
    QDate date = QDate::currentDate();
    // What the report has to say aloud (the branches that end without a terminal): a
    // message box on screen, a line on standard error in the command-line tool; once a report.
    std::function<void(const QString&)> warn;
};

// The print context and the operations of the report, over one surface.
class Tabelle {
public:
    // The nodes section's table header, column formats included.
    static const QString kBranchTableHeader;

    Tabelle(const Project& project, PrintSurface& surface, const ReportOptions& options);

    void PrintReportHeader();
    // Prints the table of the branch starting at `firstNode` and the line on its end;
    // returns the branch's last node.
    int16_t PrintBranchTable(int16_t firstNode);
    // The first node of the branch to print after the one ending at `lastNode`; 0 when done.
    int16_t NextBranchStart(int16_t lastNode) const;
    void PrintNodesSection();
    // Says aloud, once, which branches printed so far end without a terminal.
    void WarnOpenEnds();
    void PrintGridTable(const QString& layout);
    // Starts a new page unless `lines` more lines fit on this one.
    void EnsureLines(int16_t lines);
    // The materials sections read the totals the caller has just computed.
    void PrintPipeMaterials();
    void PrintTerminalList();
    // The verification against the project's standard: settings, each scenario's tables,
    // the demand point, the velocities, the reserve, the verdict.
    void PrintVerification();

    // `value` right-aligned in exactly `width` characters: a number with `decimals` decimals
    // (grouped when 0), a text that is no number as it is; a longer result keeps its left part.
    static QString PadField(const QString& value, int width, int decimals);
    static QString PadField(double value, int width, int decimals);

    int32_t pageHeight() const { return pageHeight_; }
    int32_t pageWidth() const { return pageWidth_; }
    int16_t lineHeight() const { return lineHeight_; }
    int16_t pageNumber() const { return pageNumber_; }
    float widthScale() const { return widthScale_; }

private:
    void setScale();
    void printWrappedNotes();
    // `text`, paragraph by paragraph, wrapped at the last blank that fits the page.
    void printWrapped(QString text);
    qsizetype longestStartThatFits(QStringView text, int16_t limit) const;
    void printBranchEnd(int16_t firstNode, const ReportRow& last);
    // "Tronco iniziale", or "Derivato da " and the name of the node it hangs from.
    QString branchTitle(int16_t firstNode) const;
    // The warnings of the branch (its end, then its fast sections); false when there are none.
    bool printBranchWarnings(int16_t firstNode);
    const NetworkVerification* checks();
    // Captions, column formats ("<30", ">14", "#12") and rows of '|'-separated cells.
    void printTable(const QStringList& captions, const QStringList& formats, const QStringList& rows);
    QString fittedCell(int16_t columnWidth, const QString& text) const;
    void pageBreak();
    void printSection(const QString& text);
    void printLines(const QStringList& lines);
    void printMembers(const QString& heading, const std::vector<MemberCheck>& members, int columns);
    void printSheet(const QString& title, const std::vector<SheetSection>& sections);
    QString pathForHeader() const;
    QString rowOf(int16_t node, const ReportRow& row) const;
    void warn(const QString& text) const;

    const Project& project_;
    PrintSurface& surface_;
    ReportOptions options_;
    // Worked out at the first branch: the converged solution's checks, none when it fails.
    std::optional<NetworkVerification> checks_;
    bool checksMade_ = false;
    QStringList openEndBranches_;
    int32_t pageHeight_;
    int32_t pageWidth_;
    int16_t lineHeight_ = 0;
    int16_t pageNumber_ = 1;
    float widthScale_;
    int16_t rowRules_ = 0;
};

// "superiore", "inferiore", "manuale (?)", "grande", "di default", else "indefinito".
QString paperBinText(int bin);
// What the printer did: "Stampato su <device>" and "Cassetto <bin>" on two lines.
QString printedMessage(const QString& deviceName, int paperBin);

// The whole report: the font and page of the layout, the header, the chosen sections, the
// end of the document. The project is not changed.
void PrintReport(const Project& project, PrintSurface& surface, const ReportSections& sections,
                 const ReportOptions& options);

} // namespace valmora
