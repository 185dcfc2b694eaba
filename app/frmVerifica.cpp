#include "app/frmVerifica.h"

#include "app/LimitedBoxes.h"
#include "model/MessageText.h"
#include "model/NumberFormat.h"
#include "model/Traversal.h"
#include "platform/GridControl.h"
#include "platform/Interaction.h"
#include "standards/StandardTables.h"
#include "standards/VerificationText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <set>

namespace valmora {

namespace {

const QString kFormat =
    QStringLiteral("Scenario|Posizione|Terminale|Tipo|>K|>Q l/min|>P bar|>Q min|>P min|Esito");
constexpr std::array<int, 10> kColumnTwips = {1100, 1400, 1800, 1700, 600, 800, 700, 800, 700, 1500};
// The member's columns past "Tipo": K, then its flow and pressure, then what it must reach.
constexpr int kFirstMinimumCell = 5;
constexpr int kVerdictCell = 7;
// The grid's column of the member's pressure, and its caption among the members' captions.
constexpr int kPressureColumn = 6;
constexpr int kMemberPressureCaption = 4;
constexpr int kSummaryColumn = 2; // a summary line spans from here to the last column
const QColor kPassGreen(200, 240, 200);
const QColor kFailRed(255, 190, 180);
const QColor kSummaryGrey(235, 235, 235);
constexpr int kWindowWidth = 980;
constexpr int kWindowHeight = 640;

const std::array<TerminalRole, 5> kAllRoles = {TerminalRole::NotVerified, TerminalRole::Hydrant,
                                               TerminalRole::HoseReel, TerminalRole::ExternalOutlet,
                                               TerminalRole::Sprinkler};

// The terminal types the network uses, in catalogue order.
std::set<int16_t> typesInUse(const Project& project) {
    std::set<int16_t> types;
    for (const int16_t i : networkPreorder(project))
        if (const Terminal* t = project.findTerminal(project.NodeTable[std::size_t(i)]))
            types.insert(t->typeIndex);
    return types;
}

// A list of the role's terminals to tick: the designer's own set.
class frmInsieme : public QDialog {
public:
    frmInsieme(const Project& project, const std::vector<int16_t>& terminals,
               const std::vector<int16_t>& ticked, QWidget* parent)
        : QDialog(parent) {
        setObjectName(QStringLiteral("frmInsieme"));
        setWindowTitle(QStringLiteral("Insieme scelto dal progettista"));
        lstTerminali = new QListWidget(this);
        lstTerminali->setObjectName(QStringLiteral("lstTerminali"));
        for (const int16_t end : terminals) {
            const Node& node = project.NodeTable[std::size_t(end)];
            auto* item = new QListWidgetItem(oneLine(node.name) + QStringLiteral(" - ") +
                                             project.terminalTypeOf(project.terminalOf(node)).name);
            item->setData(Qt::UserRole, end);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(std::find(ticked.begin(), ticked.end(), end) != ticked.end() ? Qt::Checked
                                                                                             : Qt::Unchecked);
            lstTerminali->addItem(item);
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(
            new QLabel(QStringLiteral("Spuntare i terminali che lavorano contemporaneamente:"), this));
        layout->addWidget(lstTerminali);
        layout->addWidget(buttons);
    }
    std::vector<int16_t> ticked() const {
        std::vector<int16_t> nodes;
        for (int i = 0; i < lstTerminali->count(); ++i)
            if (lstTerminali->item(i)->checkState() == Qt::Checked)
                nodes.push_back(static_cast<int16_t>(lstTerminali->item(i)->data(Qt::UserRole).toInt()));
        return nodes;
    }
    QListWidget* lstTerminali;
};

} // namespace

frmVerifica::frmVerifica(Project& project, Interaction& interaction,
                         std::function<void(int16_t, int16_t)> open, QWidget* parent)
    : NetworkFollowingDialog(parent), project_(project), interaction_(interaction), open_(std::move(open)) {
    setObjectName(QStringLiteral("frmVerifica"));
    setWindowTitle(QStringLiteral("Verifica di norma"));
    setModal(false);

    cmbNorma = new QComboBox(this);
    cmbNorma->setObjectName(QStringLiteral("cmbNorma"));
    for (const Standard s : {Standard::None, Standard::Uni10779, Standard::En12845})
        cmbNorma->addItem(s == Standard::None ? QStringLiteral("Nessuna") : standardTitle(s), int(s));
    spnLivello = new QSpinBox(this);
    spnLivello->setObjectName(QStringLiteral("spnLivello"));
    limitBox(spnLivello, LimitedSetting::Level);
    cmbClasse = new QComboBox(this);
    cmbClasse->setObjectName(QStringLiteral("cmbClasse"));
    for (int h = 0; h < kHazardClassCount; ++h)
        cmbClasse->addItem(QString::fromLatin1(hazardDesign(HazardClass(h)).name), h);
    spnCopertura = new QDoubleSpinBox(this);
    spnCopertura->setObjectName(QStringLiteral("spnCopertura"));
    limitBox(spnCopertura, LimitedSetting::Coverage);
    auto* settings = new QFormLayout;
    settings->addRow(QStringLiteral("Norma:"), cmbNorma);
    settings->addRow(QStringLiteral("Livello di pericolosità (UNI 10779):"), spnLivello);
    settings->addRow(QStringLiteral("Classe di pericolo (UNI EN 12845):"), cmbClasse);
    settings->addRow(QStringLiteral("Area coperta da uno sprinkler:"), spnCopertura);

    tblRuoli = new QTableWidget(0, 2, this);
    tblRuoli->setObjectName(QStringLiteral("tblRuoli"));
    tblRuoli->setHorizontalHeaderLabels({QStringLiteral("Tipo di terminale"), QStringLiteral("Ruolo")});
    tblRuoli->horizontalHeader()->setStretchLastSection(true);
    tblRuoli->verticalHeader()->hide();
    tblScenari = new QTableWidget(0, 3, this);
    tblScenari->setObjectName(QStringLiteral("tblScenari"));
    tblScenari->setHorizontalHeaderLabels(
        {QStringLiteral("Ruolo"), QStringLiteral("Contemporanei"), QStringLiteral("Durata (min)")});
    tblScenari->horizontalHeader()->setStretchLastSection(true);
    tblScenari->verticalHeader()->hide();

    GrVerifica = new GridControl(this);
    GrVerifica->setObjectName(QStringLiteral("GrVerifica"));
    GrVerifica->setFormatString(kFormat);
    for (std::size_t c = 0; c < kColumnTwips.size(); ++c)
        GrVerifica->setColumnWidthTwips(int(c), kColumnTwips[c]);
    GrVerifica->setVerticalScrollBar(true);
    lblEsito = new QLabel(this);
    lblEsito->setObjectName(QStringLiteral("lblEsito"));
    lblEsito->setWordWrap(true);
    cmbInsieme = new QComboBox(this);
    cmbInsieme->setObjectName(QStringLiteral("cmbInsieme"));
    btnScegli = new QPushButton(QStringLiteral("&Scegli l'insieme..."), this);
    btnScegli->setObjectName(QStringLiteral("btnScegli"));
    btnScegli->setToolTip(QStringLiteral(
        "Verifica anche un insieme scelto da te, accanto alla posizione trovata dal programma"));
    cmbPosizione = new QComboBox(this);
    cmbPosizione->setObjectName(QStringLiteral("cmbPosizione"));
    cmbPosizione->addItem(QStringLiteral("più sfavorevole"), true);
    cmbPosizione->addItem(QStringLiteral("più favorevole"), false);
    btnRicerca = new QPushButton(QStringLiteral("Togli l'insieme scel&to"), this);
    btnRicerca->setObjectName(QStringLiteral("btnRicerca"));
    btnRicerca->setToolTip(
        QStringLiteral("Toglie l'insieme scelto da te: resta la verifica sulle posizioni del programma"));
    chkQualunque =
        new QCheckBox(QStringLiteral("Qualunque insieme (più severa delle aree della norma)"), this);
    chkQualunque->setObjectName(QStringLiteral("chkQualunque"));

    auto* top = new QHBoxLayout;
    top->addLayout(settings);
    top->addWidget(tblRuoli, 1);
    top->addWidget(tblScenari, 1);
    auto* choice = new QHBoxLayout;
    choice->addWidget(new QLabel(QStringLiteral("Insieme dei terminali:"), this));
    choice->addWidget(cmbInsieme);
    choice->addWidget(cmbPosizione);
    choice->addWidget(btnScegli);
    choice->addWidget(btnRicerca);
    choice->addStretch();
    choice->addWidget(chkQualunque);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(GrVerifica, 1);
    layout->addLayout(choice);
    layout->addWidget(lblEsito);
    resize(kWindowWidth, kWindowHeight);

    for (QComboBox* box : {cmbNorma, cmbClasse})
        connect(box, &QComboBox::currentIndexChanged, this, &frmVerifica::settingsChanged);
    connect(spnLivello, &QSpinBox::valueChanged, this, &frmVerifica::settingsChanged);
    connect(spnCopertura, &QDoubleSpinBox::valueChanged, this, &frmVerifica::settingsChanged);
    connect(GrVerifica, &GridControl::gridDoubleClicked, this, [this] { openRow(GrVerifica->row()); });
    connect(btnScegli, &QPushButton::clicked, this, &frmVerifica::chooseSet);
    connect(btnRicerca, &QPushButton::clicked, this, [this] { setDesignerSet(chosenRole(), {}); });
    connect(chkQualunque, &QCheckBox::toggled, this, [this](bool any) {
        if (showing_)
            return;
        project_.standardSettings.anySet = any;
        settingsChanged();
    });
    for (QPushButton* button : {btnScegli, btnRicerca})
        button->setAutoDefault(false);
}

void frmVerifica::showNow() {
    showSettings();
    verify();
}

// The settings into the controls, the role and scenario tables for the types now in use. A
// box being typed in is left as it is: its value is taken when its editing ends.
void frmVerifica::showSettings() {
    showing_ = true;
    const StandardSettings& s = project_.standardSettings;
    cmbNorma->setCurrentIndex(cmbNorma->findData(int(s.standard)));
    showValue(spnLivello, s.level);
    cmbClasse->setCurrentIndex(int(s.hazard));
    // A coverage past the class's largest fails the verification: the box offers no more.
    spnCopertura->setMaximum(sprinklerRules(s.hazard).largestCoverage);
    showValue(spnCopertura, coverageOf(s));
    {
        const QSignalBlocker quiet(chkQualunque);
        chkQualunque->setChecked(s.anySet);
    }
    const bool uni = s.standard == Standard::Uni10779;
    const bool en = s.standard == Standard::En12845;
    spnLivello->setEnabled(uni);
    cmbClasse->setEnabled(en);
    spnCopertura->setEnabled(en);

    const std::set<int16_t> types = typesInUse(project_);
    if (types != shownTypes_)
        buildRoleRows(types);
    int row = 0;
    for (const int16_t type : types) {
        auto* role = qobject_cast<QComboBox*>(tblRuoli->cellWidget(row++, 1));
        const QSignalBlocker quiet(role);
        role->setCurrentIndex(role->findData(int(roleOf(s, project_, type))));
    }

    std::vector<TerminalRole> roles;
    if (uni)
        roles = {TerminalRole::Hydrant, TerminalRole::HoseReel, TerminalRole::ExternalOutlet};
    else if (en)
        roles = {TerminalRole::Sprinkler};
    if (roles != shownRoles_)
        buildScenarioRows(roles);
    for (int r = 0; r < int(roles.size()); ++r) {
        const TerminalRole role = roles[std::size_t(r)];
        auto* count = qobject_cast<QSpinBox*>(tblScenari->cellWidget(r, 1));
        showValue(count, workingAtOnceOf(s, role));
        count->setEnabled(uni); // UNI EN 12845 counts the sprinklers from the area
        showValue(qobject_cast<QSpinBox*>(tblScenari->cellWidget(r, 2)), durationMinutesOf(s, role));
    }
    btnScegli->setEnabled(!roles.empty());
    btnRicerca->setEnabled(!roles.empty());
    showing_ = false;
}

// A row a terminal type in use, with the list of roles it may take.
void frmVerifica::buildRoleRows(const std::set<int16_t>& types) {
    shownTypes_ = types;
    tblRuoli->setRowCount(int(types.size()));
    int row = 0;
    for (const int16_t type : types) {
        tblRuoli->setItem(row, 0, new QTableWidgetItem(project_.TerminalCatalogue[std::size_t(type)].name));
        tblRuoli->item(row, 0)->setFlags(Qt::ItemIsEnabled);
        auto* role = new QComboBox;
        for (const TerminalRole r : kAllRoles)
            role->addItem(roleName(r), int(r));
        connect(role, &QComboBox::currentIndexChanged, this, [this, type, role] {
            project_.standardSettings.roles[type] = TerminalRole(role->currentData().toInt());
            settingsChanged();
        });
        tblRuoli->setCellWidget(row++, 1, role);
    }
}

// A row a role the standard verifies: how many work at once, and for how long.
void frmVerifica::buildScenarioRows(const std::vector<TerminalRole>& roles) {
    shownRoles_ = roles;
    tblScenari->setRowCount(int(roles.size()));
    cmbInsieme->clear();
    for (int r = 0; r < int(roles.size()); ++r) {
        const TerminalRole role = roles[std::size_t(r)];
        cmbInsieme->addItem(rolePlural(role), int(role));
        tblScenari->setItem(r, 0, new QTableWidgetItem(rolePlural(role)));
        tblScenari->item(r, 0)->setFlags(Qt::ItemIsEnabled);
        auto* count = new QSpinBox;
        count->setObjectName(QStringLiteral("spnContemporanei.") + roleKey(role));
        limitBox(count, LimitedSetting::WorkingAtOnce);
        connect(count, &QSpinBox::valueChanged, this, [this, role](int value) {
            if (showing_)
                return;
            project_.standardSettings.workingAtOnce[role] = value;
            settingsChanged();
        });
        tblScenari->setCellWidget(r, 1, count);
        auto* minutes = new QSpinBox;
        minutes->setObjectName(QStringLiteral("spnDurata.") + roleKey(role));
        limitBox(minutes, LimitedSetting::Duration);
        connect(minutes, &QSpinBox::valueChanged, this, [this, role](int value) {
            if (showing_)
                return;
            project_.standardSettings.durationMinutes[role] = value;
            settingsChanged();
        });
        tblScenari->setCellWidget(r, 2, minutes);
    }
}

void frmVerifica::settingsChanged() {
    if (showing_)
        return;
    StandardSettings& s = project_.standardSettings;
    s.standard = Standard(cmbNorma->currentData().toInt());
    s.level = spnLivello->value();
    const auto hazard = HazardClass(cmbClasse->currentData().toInt());
    const double coverage = spnCopertura->value();
    if (hazard != s.hazard) {
        // Another class: its own coverage, unless the designer chose one (the box still shows
        // the old class's).
        s.hazard = hazard;
    } else if (std::abs(coverage - hazardDesign(s.hazard).defaultCoverage) > 1e-9 || s.coverage) {
        s.coverage = coverage;
    }
    settingsRecorded();
    refresh();
}

void frmVerifica::verify() {
    check_ = verifyStandard(project_, project_.standardSettings);
    showCheck();
}

void frmVerifica::showCheck() {
    GrVerifica->setRedraw(false);
    GrVerifica->clearSpans();
    GrVerifica->setRows(1);
    const auto addRow = [this](const QStringList& cells, int node, const QColor& colour) {
        GrVerifica->addItem(cells.join(u'\t'));
        const int row = GrVerifica->rows() - 1;
        GrVerifica->setRowData(row, node);
        if (colour.isValid())
            for (int c = 0; c < GrVerifica->cols(); ++c)
                GrVerifica->setCellBackColor(row, c, colour);
    };
    for (const ScenarioCheck& scenario : check_.scenarios) {
        const QString role = rolePlural(scenario.role);
        struct Position {
            const SetCheck* set;
            bool unfavourable;
            QString name;
        };
        std::vector<Position> positions{{&scenario.mostUnfavourable, true, QStringLiteral("sfavorevole")},
                                        {&scenario.mostFavourable, false, QStringLiteral("favorevole")}};
        if (scenario.designerUnfavourable)
            positions.push_back(
                {&*scenario.designerUnfavourable, true, QStringLiteral("sfavorevole (progettista)")});
        if (scenario.designerFavourable)
            positions.push_back(
                {&*scenario.designerFavourable, false, QStringLiteral("favorevole (progettista)")});
        for (const Position& position : positions) {
            for (const MemberCheck& m : position.set->members) {
                QStringList cells = memberCells(m, project_.pressureUnit);
                if (!position.unfavourable) {
                    for (int c = kFirstMinimumCell; c < int(cells.size()); ++c)
                        cells[c] = QString(); // no minimums asked there
                    if (m.overMaximum)
                        cells[kVerdictCell] = memberVerdict(m);
                }
                const bool passes = position.unfavourable ? m.pass : !m.overMaximum;
                addRow(QStringList{role, position.name} + cells, m.node, passes ? kPassGreen : kFailRed);
            }
        }
        // The summaries, each on a row of its own across the members' columns.
        const auto addSummary = [&](const QString& position, const QStringList& lines) {
            for (const QString& line : lines) {
                addRow({role, position, line}, 0, kSummaryGrey);
                GrVerifica->setSpan(GrVerifica->rows() - 2, kSummaryColumn, 1,
                                    GrVerifica->cols() - kSummaryColumn);
            }
        };
        addSummary(QStringLiteral("sfavorevole"), unfavourableSummary(project_, check_, scenario));
        addSummary(QStringLiteral("favorevole"), favourableSummary(project_, check_, scenario));
        if (scenario.singleOutlet)
            addSummary(QStringLiteral("da solo"),
                       {singleOutletLine(*scenario.singleOutlet, project_.pressureUnit)});
        addSummary(QStringLiteral("nota"), scenarioNotesText(scenario));
    }
    GrVerifica->setRedraw(true);
    const QString title = check_.verified() ? verificationTitle(check_) + QStringLiteral(" - ") : QString();
    lblEsito->setText(title + verdictText(project_, check_));
    lblEsito->setStyleSheet(check_.verified()
                                ? (check_.pass ? QStringLiteral("color: darkgreen; font-weight: bold")
                                               : QStringLiteral("color: darkred; font-weight: bold"))
                                : QString());
    lblEsito->setToolTip(pressureUnitsText(project_.pressureUnit));
    GrVerifica->setColumnCaption(kPressureColumn,
                                 memberCaptions(project_.pressureUnit)[kMemberPressureCaption]);
}

void frmVerifica::openRow(int row) {
    if (row < 1 || row >= GrVerifica->rows())
        return;
    const auto node = static_cast<int16_t>(GrVerifica->rowData(row));
    if (project_.isValidNodeIndex(node))
        open_(branchStartOf(project_, node), node);
}

TerminalRole frmVerifica::chosenRole() const {
    return TerminalRole(cmbInsieme->currentData().toInt());
}

bool frmVerifica::chosenUnfavourable() const {
    return cmbPosizione->currentData().toBool();
}

void frmVerifica::setDesignerSet(TerminalRole role, const std::vector<int16_t>& chosen) {
    StandardSettings& s = project_.standardSettings;
    auto& sets = chosenUnfavourable() ? s.designerSets : s.designerFavourableSets;
    if (chosen.empty())
        sets.erase(role);
    else
        sets[role] = chosen;
    settingsRecorded();
    refresh();
}

void frmVerifica::chooseSet() {
    const TerminalRole role = chosenRole();
    std::vector<int16_t> terminals;
    for (const int16_t i : networkPreorder(project_))
        if (const Terminal* t = project_.findTerminal(project_.NodeTable[std::size_t(i)]))
            if (roleOf(project_.standardSettings, project_, t->typeIndex) == role)
                terminals.push_back(i);
    // Ticked at first: the designer's own set, else the program's position.
    std::vector<int16_t> ticked;
    const bool unfavourable = chosenUnfavourable();
    for (const ScenarioCheck& s : check_.scenarios)
        if (s.role == role) {
            const std::optional<SetCheck>& designer =
                unfavourable ? s.designerUnfavourable : s.designerFavourable;
            const SetCheck& set = designer ? *designer : unfavourable ? s.mostUnfavourable : s.mostFavourable;
            for (const MemberCheck& m : set.members)
                ticked.push_back(m.node);
        }
    frmInsieme dialog(project_, terminals, ticked, this);
    if (interaction_.runDialog(dialog) == QDialog::Accepted)
        setDesignerSet(role, dialog.ticked());
}

} // namespace valmora
