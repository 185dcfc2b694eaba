#pragma once

// The printed calculation report: the page header, one framed table per branch with the
// line on its end, the pipe materials and the terminal list, on a print surface.

#include "model/DerivedQuantities.h"
#include "model/Project.h"
#include "model/Verification.h"
#include "platform/PrintSurface.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <functional>

namespace valmora {

struct ReportSections {
    bool nodes = true;
    bool materials = true;
    bool terminals = true;

    bool any() const { return nodes || materials || terminals; }
};

// Where the report goes: the printer's layout, or the preview's, scaled to 0.7.
enum class ReportLayout { Printer, Preview };

struct ReportOptions {
    ReportLayout layout = ReportLayout::Printer;
    QDate date = QDate::currentDate();
    // What the report has to say aloud ("Non è 1!"): a message box on screen, a line on
    // standard error in the command-line tool.
    std::function<void(const QString&)> warn;
    // The checks against the converged solution, when there are any: the report then says
    // which terminals and open ends a designer must look at.
    const NetworkVerification* verification = nullptr;
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
    void PrintGridTable(const QString& layout);
    // Starts a new page unless `lines` more lines fit on this one.
    void EnsureLines(int16_t lines);
    // The materials sections read the totals the caller has just computed.
    void PrintPipeMaterials();
    void PrintTerminalList();

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
    void printBranchEnd(int16_t lastNode, float lastFlow, double cumulativeDrop);
    void printTerminalWarnings(int16_t lastNode);
    void printOpenEndWarning(int16_t lastNode);
    // Captions, column formats ("<30", ">14", "#12") and rows of '|'-separated cells.
    void printTable(const QStringList& captions, const QStringList& formats, const QStringList& rows);
    QString fittedCell(int16_t columnWidth, const QString& text) const;
    void pageBreak();
    void printSection(const QString& text);
    QString pathForHeader() const;
    QString rowOf(int16_t node, const ReportRow& row) const;
    void warn(const QString& text) const;

    const Project& project_;
    PrintSurface& surface_;
    ReportOptions options_;
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

// The whole report: the font and page of the layout, the header, the chosen sections (the
// materials totals computed first, whatever was chosen), the end of the document. The
// network is not changed; the catalogues' materials totals are.
void PrintReport(Project& project, PrintSurface& surface, const ReportSections& sections,
                 const ReportOptions& options);

} // namespace valmora
