#include "app/frmCurve.h"

#include "app/LimitedBoxes.h"
#include "model/DialogRules.h"
#include "model/NumberFormat.h"
#include "platform/AtomicWrite.h"
#include "platform/Interaction.h"
#include "platform/PagePainter.h"
#include "report/CurvesPage.h"
#include "report/Tabelle.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <array>
#include <cmath>
#include <map>
#include <optional>

namespace valmora {

namespace {

constexpr int kWindowWidth = 1000;
constexpr int kWindowHeight = 700;
constexpr int kSupplyPenWidth = 3;
constexpr qreal kMarkerSize = 9;
constexpr int kSupplyPanelWidth = 350;
const QString kPdfFilter = QStringLiteral("PDF|*.pdf");
const QString kPngFilter = QStringLiteral("PNG|*.png");

QDoubleSpinBox* spinBox(QWidget* parent, const char* name, LimitedSetting setting) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    limitBox(box, setting);
    return box;
}

// The pump table's columns: flow, pressure.
constexpr std::array<LimitedSetting, 2> kPumpColumns = {LimitedSetting::SupplyFlow,
                                                        LimitedSetting::SupplyPressure};

QLineSeries* lineOf(const std::vector<CurvePoint>& points, const QString& name, const QColor& colour) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setColor(colour);
    for (const CurvePoint& p : points)
        series->append(p.flow, p.pressure);
    return series;
}

// One colour a role, the same in every project: the supply black, the whole network blue, the
// sets that ask most in reds, those that draw most in greens; the demand points grey squares,
// the operating points orange crosses, apart from every curve's colour.
const QColor kSupplyColour(Qt::black);
const QColor kNetworkColour(20, 80, 200);
const std::array<QColor, 3> kUnfavourableColours = {QColor(200, 30, 30), QColor(150, 40, 110),
                                                    QColor(230, 90, 60)};
const std::array<QColor, 3> kFavourableColours = {QColor(20, 140, 60), QColor(90, 150, 20),
                                                  QColor(0, 120, 120)};
const std::array<QColor, 3> kAllOfARoleColours = {QColor(150, 90, 20), QColor(120, 40, 160),
                                                  QColor(0, 130, 130)};
const QColor kDemandPointColour(90, 90, 90);
const QColor kOperatingPointColour(240, 140, 0);

// The colour of a curve: its kind's, the `seen`-th of the kind's own colours (curves of one
// kind before it).
QColor colourOf(const DemandCurve& curve, int seen) {
    const auto nth = [seen](const std::array<QColor, 3>& colours) {
        return colours[std::size_t(seen) % colours.size()];
    };
    switch (curve.kind) {
    case DemandKind::Network:
        return kNetworkColour;
    case DemandKind::Unfavourable:
        return nth(kUnfavourableColours);
    case DemandKind::Favourable:
        return nth(kFavourableColours);
    case DemandKind::AllOfARole:
        break;
    }
    return nth(kAllOfARoleColours);
}

} // namespace

frmCurve::frmCurve(Project& project, Interaction& interaction, std::function<void()> supplyChanged,
                   QWidget* parent)
    : NetworkFollowingDialog(parent), project_(project), interaction_(interaction),
      supplyChanged_(std::move(supplyChanged)) {
    setObjectName(QStringLiteral("frmCurve"));
    setWindowTitle(QStringLiteral("Curve di funzionamento"));
    setModal(false);

    cmbAlimentazione = new QComboBox(this);
    cmbAlimentazione->setObjectName(QStringLiteral("cmbAlimentazione"));
    cmbAlimentazione->addItem(QStringLiteral("Pressione di progetto (fissa)"), int(SupplyKind::Fixed));
    cmbAlimentazione->addItem(QStringLiteral("Pompa (tre punti della curva)"), int(SupplyKind::Pump));
    cmbAlimentazione->addItem(QStringLiteral("Acquedotto (prova di portata)"), int(SupplyKind::MainTest));
    tblPompa = new QTableWidget(3, 2, this);
    tblPompa->setObjectName(QStringLiteral("tblPompa"));
    tblPompa->setHorizontalHeaderLabels({QStringLiteral("Portata l/min"), QStringLiteral("Pressione bar")});
    tblPompa->setVerticalHeaderLabels(
        {QStringLiteral("Portata nulla"), QStringLiteral("Nominale"), QStringLiteral("Sovraccarico (140%)")});
    tblPompa->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tblPompa->setMinimumWidth(kSupplyPanelWidth);
    tblPompa->setMaximumHeight(tblPompa->verticalHeader()->length() + tblPompa->horizontalHeader()->height() +
                               6);
    spnStatica = spinBox(this, "spnStatica", LimitedSetting::SupplyPressure);
    spnResidua = spinBox(this, "spnResidua", LimitedSetting::SupplyPressure);
    spnProva = spinBox(this, "spnProva", LimitedSetting::SupplyFlow);
    auto* main = new QFormLayout;
    main->addRow(QStringLiteral("Pressione statica:"), spnStatica);
    main->addRow(QStringLiteral("Pressione residua:"), spnResidua);
    main->addRow(QStringLiteral("alla portata di prova:"), spnProva);

    chartView = new QChartView(this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumSize(520, 380);
    lblPunti = new QLabel(this);
    lblPunti->setObjectName(QStringLiteral("lblPunti"));
    lblPunti->setWordWrap(true);
    lblPunti->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btnAdotta = new QPushButton(QStringLiteral("&Adotta come pressione di progetto"), this);
    btnAdotta->setObjectName(QStringLiteral("btnAdotta"));
    btnAdotta->setToolTip(
        QStringLiteral("La pressione di progetto diventa quella del punto di funzionamento della rete"));
    btnPng = new QPushButton(QStringLiteral("Esporta P&NG"), this);
    btnPng->setObjectName(QStringLiteral("btnPng"));
    btnPdf = new QPushButton(QStringLiteral("Esporta P&DF"), this);
    btnPdf->setObjectName(QStringLiteral("btnPdf"));
    // Enter ends the typing of a value, and does nothing more: above all it adopts nothing.
    for (QPushButton* button : {btnAdotta, btnPng, btnPdf})
        button->setAutoDefault(false);

    auto* supply = new QVBoxLayout;
    supply->addWidget(new QLabel(QStringLiteral("Alimentazione:"), this));
    supply->addWidget(cmbAlimentazione);
    supply->addWidget(tblPompa);
    supply->addLayout(main);
    supply->addStretch();
    supply->addWidget(btnAdotta);
    supply->addWidget(btnPng);
    supply->addWidget(btnPdf);
    auto* top = new QHBoxLayout;
    top->addLayout(supply);
    top->addWidget(chartView, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(lblPunti);
    resize(kWindowWidth, kWindowHeight);

    connect(cmbAlimentazione, &QComboBox::currentIndexChanged, this, &frmCurve::settingsChanged);
    connect(tblPompa, &QTableWidget::cellChanged, this, &frmCurve::pumpCellChanged);
    for (QDoubleSpinBox* box : {spnStatica, spnResidua, spnProva})
        connect(box, &QDoubleSpinBox::valueChanged, this, &frmCurve::settingsChanged);
    connect(btnAdotta, &QPushButton::clicked, this, &frmCurve::adoptOperatingPressure);
    connect(btnPng, &QPushButton::clicked, this, [this] { exportChart(true); });
    connect(btnPdf, &QPushButton::clicked, this, [this] { exportChart(false); });
}

void frmCurve::showNow() {
    showSettings();
    chart_ = operatingChart(project_);
    drawChart();
}

// The settings into the controls; a box or a cell being typed in is left as it is.
void frmCurve::showSettings() {
    showing_ = true;
    const SupplySettings& s = project_.standardSettings.supply;
    cmbAlimentazione->setCurrentIndex(cmbAlimentazione->findData(int(s.kind)));
    // A cell being typed in has its editor inside the table, with the focus.
    const QWidget* typing = QApplication::focusWidget();
    if (!(typing && typing != tblPompa && tblPompa->isAncestorOf(typing))) {
        const QSignalBlocker quiet(tblPompa);
        for (int row = 0; row < 3; ++row) {
            const PumpPoint& point = s.pump[std::size_t(row)];
            tblPompa->setItem(row, 0, new QTableWidgetItem(formatGeneral(point.flow)));
            tblPompa->setItem(row, 1, new QTableWidgetItem(formatGeneral(point.pressure)));
        }
    }
    showValue(spnStatica, s.staticPressure);
    showValue(spnResidua, s.residualPressure);
    showValue(spnProva, s.testFlow);
    tblPompa->setEnabled(s.kind == SupplyKind::Pump);
    for (QDoubleSpinBox* box : {spnStatica, spnResidua, spnProva})
        box->setEnabled(s.kind == SupplyKind::MainTest);
    showing_ = false;
}

// A value typed in the pump's table: taken when it is a number within its limit, else refused
// with the limit and the cell given back its value.
void frmCurve::pumpCellChanged(int row, int column) {
    if (showing_)
        return;
    const LimitedSetting limit = kPumpColumns[std::size_t(column)];
    const std::optional<double> typed = parseUserNumber(tblPompa->item(row, column)->text());
    PumpPoint& point = project_.standardSettings.supply.pump[std::size_t(row)];
    if (!typed || !withinLimit(limit, *typed)) {
        {
            const QSignalBlocker quiet(tblPompa);
            tblPompa->item(row, column)->setText(formatGeneral(column == 0 ? point.flow : point.pressure));
        }
        interaction_.inform(QStringLiteral("Valore non accettato: %1.").arg(limitText(limit)), windowTitle(),
                            MessageIcon::Exclamation);
        return;
    }
    (column == 0 ? point.flow : point.pressure) = *typed;
    settingsChanged();
}

void frmCurve::settingsChanged() {
    if (showing_)
        return;
    SupplySettings& s = project_.standardSettings.supply;
    s.kind = SupplyKind(cmbAlimentazione->currentData().toInt());
    s.staticPressure = spnStatica->value();
    s.residualPressure = spnResidua->value();
    s.testFlow = spnProva->value();
    settingsRecorded();
    refresh();
}

void frmCurve::drawChart() {
    auto* chart = new QChart;
    chart->setTitle(windowTitle());
    chart->setLocalizeNumbers(true); // decimal commas in an Italian locale
    chart->setLocale(QLocale());
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* flowAxis = new QValueAxis;
    flowAxis->setTitleText(QStringLiteral("Portata (l/min)"));
    flowAxis->setLabelFormat(QStringLiteral("%.0f"));
    auto* pressureAxis = new QValueAxis;
    pressureAxis->setTitleText(pressureAxisTitle(chart_.pressureScale));
    pressureAxis->setLabelFormat(QStringLiteral("%.1f"));
    chart->addAxis(flowAxis, Qt::AlignBottom);
    chart->addAxis(pressureAxis, Qt::AlignLeft);
    const auto add = [&](QAbstractSeries* series) {
        chart->addSeries(series);
        series->attachAxis(flowAxis);
        series->attachAxis(pressureAxis);
    };
    QStringList words;
    if (!chart_.problem.isEmpty()) {
        words << chart_.problem;
    } else {
        QLineSeries* supply = lineOf(chart_.supply, chart_.supplyName, kSupplyColour);
        QPen pen = supply->pen();
        pen.setWidth(kSupplyPenWidth);
        supply->setPen(pen);
        add(supply);
        auto* demandPoints = new QScatterSeries;
        demandPoints->setName(QStringLiteral("Richiesta (D)"));
        demandPoints->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        demandPoints->setMarkerSize(kMarkerSize);
        demandPoints->setColor(kDemandPointColour);
        auto* operatingPoints = new QScatterSeries;
        operatingPoints->setName(QStringLiteral("Funzionamento (F)"));
        operatingPoints->setMarkerSize(kMarkerSize);
        operatingPoints->setColor(kOperatingPointColour);
        int n = 1;
        std::vector<const DemandCurve*> curves{&chart_.network};
        for (const DemandCurve& curve : chart_.sets)
            curves.push_back(&curve);
        std::map<DemandKind, int> seen;
        for (const DemandCurve* curve : curves) {
            add(lineOf(curve->points, QStringLiteral("%1 %2").arg(n).arg(curve->name),
                       colourOf(*curve, seen[curve->kind]++)));
            QString line = QStringLiteral("%1 %2").arg(n).arg(curve->name);
            if (curve->demandPoint) {
                demandPoints->append(curve->demandPoint->flow, curve->demandPoint->pressure);
                line += QStringLiteral(": richiesta D%1 %2")
                            .arg(n)
                            .arg(pointText(*curve->demandPoint, chart_.pressureScale));
            }
            if (curve->operating) {
                operatingPoints->append(curve->operating->flow, curve->operating->pressure);
                line += QStringLiteral("%1 funzionamento F%2 %3")
                            .arg(curve->demandPoint ? QStringLiteral(";") : QStringLiteral(":"))
                            .arg(n)
                            .arg(pointText(*curve->operating, chart_.pressureScale));
            }
            words << line;
            ++n;
        }
        add(demandPoints);
        add(operatingPoints);
        flowAxis->setRange(0, chart_.largestFlow);
        pressureAxis->setRange(0, chart_.largestPressure);
        flowAxis->applyNiceNumbers();
        pressureAxis->applyNiceNumbers();
        if (chart_.reserveVolume)
            words << chart_.reserveText;
        words << chart_.notes;
    }
    QChart* old = chartView->chart();
    chartView->setChart(chart);
    delete old;
    lblPunti->setText(words.join(u'\n'));
    btnAdotta->setEnabled(chart_.problem.isEmpty() && chart_.network.operating.has_value() &&
                          project_.standardSettings.supply.kind != SupplyKind::Fixed);
}

void frmCurve::adoptOperatingPressure() {
    const std::optional<int32_t> pressure = operatingSupplyPressure(chart_);
    if (!pressure)
        return;
    // The supply dialog's rule and words: no terminal higher than half the pressure.
    const HighestTerminal highest = highestTerminal(project_);
    if (!supplyCoversHeights(float(*pressure) / float(kMmPerMetreOfPressure), highest.height)) {
        interaction_.inform(heightsNotCoveredMessage(project_, highest));
        return;
    }
    project_.supplyPressure = *pressure;
    if (supplyChanged_)
        supplyChanged_();
    refresh();
}

QString frmCurve::exportPath(bool png) {
    const QFileInfo file(project_.projectPath);
    QString path = file.dir().filePath(file.completeBaseName() +
                                       (png ? QStringLiteral("-curve.png") : QStringLiteral("-curve.pdf")));
    if (project_.projectPath == kNewProjectPath)
        return interaction_.saveFileName(png ? kPngFilter : kPdfFilter, path);
    if (QFileInfo::exists(path) &&
        interaction_.message({QStringLiteral("Il file %1 esiste già. Sovrascriverlo?").arg(path),
                              QStringLiteral("Curve di funzionamento"), MessageButtons::YesNo,
                              MessageIcon::Question}) != Answer::Yes)
        return {};
    return path;
}

void frmCurve::exportChart(bool png) {
    // A chart that cannot be drawn is not written as an empty one.
    if (!chart_.problem.isEmpty()) {
        interaction_.inform(QStringLiteral("Curve non esportate: ") + chart_.problem, windowTitle(),
                            MessageIcon::Exclamation);
        return;
    }
    const QString path = exportPath(png);
    if (path.isEmpty())
        return;
    // The page the report prints, values and legend included, at print resolution.
    const DrawReport draw = [this](PrintSurface& surface) {
        PrintCurves(chart_, project_, surface);
        surface.endDocument();
    };
    const WriteRequest request = outputOf(project_.projectPath);
    const PagedOutcome written =
        png ? writePng(path, draw, request)
            : writePdf(path, projectPdfInfo(project_, kCurvesTitle), draw, {}, request);
    if (!written.ok)
        interaction_.inform(QStringLiteral("Errore in scrittura"), QString(), MessageIcon::Exclamation,
                            written.reason);
    else
        interaction_.inform(QStringLiteral("Creato ") + path);
}

} // namespace valmora
