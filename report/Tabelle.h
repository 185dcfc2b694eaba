#pragma once

// The printed calculation report, on a print surface: the cover with the project's data and
// its revision, the inputs (the standard, the supply, the series, the laws), the summary of
// the verdicts; the page header, one framed table per branch with the line on its end, the
// pipe materials and the terminal list; the verification, the curves; the signature block.
// Every page ends with the project, its revision and "pagina x di y".

#include "model/DerivedQuantities.h"
#include "model/Project.h"
#include "model/Verification.h"
#include "platform/PdfDocumentInfo.h"
#include "platform/PrintSurface.h"
#include "report/Materials.h"
#include "standards/OperatingCurves.h"
#include "standards/StandardVerification.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace valmora {

// The parts of the report, printed in this order when chosen: cover, inputs, summary, the
// header (always) with nodes, materials, terminals, then verification, curves, signature.
struct ReportSections {
    bool nodes = true;
    bool materials = true;
    bool terminals = true;
    bool verification = false; // the verification against the standard set for the project
    bool curves = false;       // the supply and demand curves, a page of their own
    bool cover = false;        // the project's data and the revision table, a page of its own
    bool inputs = false;       // the standard, the roles, the supply, the series, the laws
    bool summary = false;      // each scenario's demand, operating point, reserve and verdict
    bool signature = false;    // luogo, data, il progettista, timbro e firma

    bool any() const {
        return nodes || materials || terminals || verification || curves || cover || inputs || summary ||
               signature;
    }
    static ReportSections none() { return {false, false, false, false, false}; }
    // Every section the project has something for: the verification and the curves once a
    // standard or a supply curve is set, the cover and the signature once the report's data
    // are (the preview, and the report when none is named).
    static ReportSections everything(const Project& project);
};

// What more than one part of the report reads, worked out once for the whole report (which
// is laid out twice: once to count its pages).
struct ReportFacts {
    ReportFacts(const Project& reported, const NetworkResults& results)
        : project_(reported), results_(results) {}
    const NetworkResults& results() const { return results_; }
    // The verification against the project's standard.
    const StandardCheck& standardCheck();
    // The converged solution's checks of the network; none when it cannot be solved.
    const NetworkVerification* networkChecks();
    const OperatingChart& chart();
    // The materials' totals, which both materials sections list.
    const MaterialsTotals& materials();

private:
    const Project& project_;
    const NetworkResults& results_;
    std::optional<StandardCheck> check_;
    std::optional<std::optional<NetworkVerification>> checks_;
    std::optional<OperatingChart> chart_;
    std::optional<MaterialsTotals> materials_;
};

// The report is laid out for the printer's A4 page, whatever draws it: the printer, a PDF
// file, the preview, which shows the same pages with the same breaks.
struct ReportOptions {
    QDate date = QDate::currentDate();
    // The report's pages, for "pagina x di y"; 0: counted by laying the report out once first.
    int totalPages = 0;
    // What the report has to say aloud (the branches that end without a terminal): a
    // message box on screen, a line on standard error in the command-line tool; once a report.
    std::function<void(const QString&)> warn;
};

// The print context and the operations of the report, over one surface.
class Tabelle {
public:
    // The nodes section's table header, column formats included.
    static const QString kBranchTableHeader;

    Tabelle(const Project& project, PrintSurface& surface, const ReportOptions& options, ReportFacts& facts);
    // With facts of its own.
    Tabelle(const Project& project, const NetworkResults& results, PrintSurface& surface,
            const ReportOptions& options);

    void PrintReportHeader();
    // Prints the table of the branch starting at `firstNode` and the line on its end;
    // returns the branch's last node.
    int16_t PrintBranchTable(int16_t firstNode);
    // The first node of the branch to print after the one ending at `lastNode`; 0 when done.
    int16_t NextBranchStart(int16_t lastNode) const;
    void PrintNodesSection();
    // The loop pipes' table, after the branches', for a network with rings.
    void PrintLoopPipes();
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
    // The parts around the specified ones.
    void PrintCover();
    void PrintInputs();
    void PrintSummary();
    void PrintSignature();
    // The foot of every page: the project, its revision, "pagina x di y".
    void PrintFooter(PrintSurface& surface, int page) const;

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
    const NetworkVerification* checks() { return facts_.networkChecks(); }
    void startOnNewPage();
    bool roomFor(int lines) const;
    void printHeading(const QString& text);
    void printLabelled(const QString& label, const QString& value);
    QStringList seriesInUseLines() const;
    QStringList roleLines(const StandardCheck& check) const;
    QStringList lawLines() const;
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
    std::unique_ptr<ReportFacts> ownFacts_;
    ReportFacts& facts_;
    PressureScale pressures_;      // the drops and pressures of the calculation
    bool conversionsSaid_ = false; // the units' line said once, by the inputs
    int inputsOnThisPage_ = 0;     // the page the inputs ended on
    QStringList openEndBranches_;
    int32_t pageHeight_;
    int32_t pageWidth_;
    int16_t lineHeight_ = 0;
    int16_t pageNumber_ = 1;
    float widthScale_;
    int16_t rowRules_ = 0;
};

// The first node of every branch in the order the report prints them: the trunk, then each
// derivation nearest the end of the branch it hangs on first, its own derivations after it.
std::vector<int16_t> branchesInReportOrder(const Project& project);
// "Tronco iniziale", or "Derivato da " and the name of the node the branch hangs from.
QString branchTitleOf(const Project& project, int16_t firstNode);
// The first node of the branch printed after the one ending at `lastNode`; 0 when done.
int16_t nextBranchStart(const Project& project, int16_t lastNode);

inline const QString kReportDocument = QStringLiteral("Relazione di calcolo");

// What the PDF of the project's `document` says of itself ("Relazione di calcolo").
PdfDocumentInfo projectPdfInfo(const Project& project, const QString& document);

// "superiore", "inferiore", "manuale (?)", "grande", "di default", else "indefinito".
QString paperBinText(int bin);
// What the printer did: "Stampato su <device>" and "Cassetto <bin>" on two lines.
QString printedMessage(const QString& deviceName, int paperBin);

// The whole report: the font and page of the layout, the header, the chosen sections, the
// end of the document. The project is not changed.
void PrintReport(const Project& project, const NetworkResults& results, PrintSurface& surface,
                 const ReportSections& sections, const ReportOptions& options);

} // namespace valmora
