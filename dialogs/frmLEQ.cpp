#include "dialogs/frmLEQ.h"

#include "model/DialogRules.h"
#include "model/NumberFormat.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace valmora {

namespace {

constexpr int kTabLoss = 0;
constexpr int kTabKv = 1;
constexpr int kTabTable = 2;
constexpr double kMinutesPerHour = 60;

std::optional<double> positive(const QLineEdit* box) {
    const std::optional<double> value = parseUserNumber(box->text());
    if (value && *value > 0)
        return value;
    return std::nullopt;
}

} // namespace

frmLEQ::frmLEQ(Workspace& workspace, Interaction& interaction, QWidget* parent)
    : QDialog(parent), project_(workspace.project), session_(workspace.session), interaction_(interaction) {
    setObjectName(QStringLiteral("frmLEQ"));
    setWindowTitle(QStringLiteral("Lunghezze equivalenti"));
    const Node& node = session_.editNode;
    const PipeSeries& series = project_.seriesOf(node);
    const float bore = project_.diameterOf(node).innerDiameter;

    lblTitolo = new QLabel(QStringLiteral("Tubo tipo ") + series.code + QStringLiteral(" Diam. int. ") +
                               formatGeneral(bore) + QStringLiteral(" mm"),
                           this);
    lblTitolo->setObjectName(QStringLiteral("lblTitolo"));
    lblLE = new QLabel(this);
    lblLE->setObjectName(QStringLiteral("lblLE"));
    TabStrip1 = new QTabBar(this);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    TabStrip1->addTab(QStringLiteral("Lungh. equivalente"));
    TabStrip1->addTab(QStringLiteral("K.V. in m³/min/bar"));
    TabStrip1->addTab(QStringLiteral("Tabella"));
    Frame1 = buildLossFrame();
    Frame2 = buildKvFrame();
    Frame3 = buildTableFrame();

    btnCalcola = new QPushButton(QStringLiteral("Calcola"), this);
    btnCalcola->setObjectName(QStringLiteral("btnCalcola"));
    btnCalcola->setToolTip(QStringLiteral("Calcola una lunghezza del diam. con la stessa perdita"));
    Command1 = new QPushButton(QStringLiteral("Azzera"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    btnRiporta = new QPushButton(QStringLiteral("Riporta"), this);
    btnRiporta->setObjectName(QStringLiteral("btnRiporta"));
    btnRiporta->setToolTip(QStringLiteral("Riporta la lunghezza calcolata"));
    btnAnnulla = new QPushButton(QStringLiteral("Annulla"), this);
    btnAnnulla->setObjectName(QStringLiteral("btnAnnulla"));
    btnAnnulla->setToolTip(QStringLiteral("Non riporta la lunghezza calcolata"));

    auto* totalRow = new QHBoxLayout;
    totalRow->addWidget(new QLabel(QStringLiteral("Lunghezza equivalente"), this));
    totalRow->addWidget(lblLE);
    totalRow->addStretch();
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnCalcola, Command1, btnRiporta, btnAnnulla})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitolo);
    layout->addLayout(totalRow);
    layout->addWidget(TabStrip1);
    for (QGroupBox* frame : {Frame1, Frame2, Frame3})
        layout->addWidget(frame);
    layout->addLayout(buttons);

    // The fittings table for this bore.
    const int diameterClassIndex = diameterClass(bore);
    Frame3->setTitle(QStringLiteral("Per un diametro ") + diameterClassText(diameterClassIndex) +
                     QStringLiteral(" mm le tabelle riportano:"));
    for (int k = 0; k < kFittingCount; ++k) {
        // A click adds the value as shown, to one decimal.
        const float tabulated = fittingLength(k, diameterClassIndex, series.leqFactor);
        fittingValues_[std::size_t(k)] =
            float(*parseUserNumber(formatPicture(tabulated, u"#0.0", QLocale::c()), QLocale::c()));
        lblA[std::size_t(k)]->setText(formatPicture(tabulated, u"#0.0"));
    }

    txtLt->setText(formatPicture(session_.editFlow, u"#0.00"));
    txtMm->setText(formatPicture(session_.editFittingLoss, u"#0.00"));
    perMetre_ = resistancePerMetre(series.frictionFactor, bore);
    length_ = node.virtualLength;
    total_ = length_;
    lblLE->setText(formatPicture(total_, u"#0.0"));
    if (length_ > 0)
        txtKV->setText(formatPicture(kvFromLength(length_, perMetre_), u"#0.00"));

    showTab(kTabLoss);
    connect(TabStrip1, &QTabBar::currentChanged, this, [this](int tab) {
        showTab(tab);
        btnCalcolaClick();
    });
    connect(btnCalcola, &QPushButton::clicked, this, &frmLEQ::btnCalcolaClick);
    connect(Command1, &QPushButton::clicked, this, [this] {
        total_ = 0;
        showTotal(formatGeneral(total_));
    });
    connect(btnRiporta, &QPushButton::clicked, this, [this] {
        session_.editNode.virtualLength = roundedToOneDecimal(double(total_));
        accept();
    });
    connect(btnAnnulla, &QPushButton::clicked, this, &QDialog::reject);
}

QGroupBox* frmLEQ::buildLossFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Lunghezze metri"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    txtMm = new QLineEdit(frame);
    txtMm->setObjectName(QStringLiteral("txtMm"));
    txtMm->setToolTip(QStringLiteral("Per simulare un KV, metti: 10.000"));
    txtLt = new QLineEdit(frame);
    txtLt->setObjectName(QStringLiteral("txtLt"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("Perdita mm:"), frame), 0, 0);
    grid->addWidget(txtMm, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Portata l/min"), frame), 1, 0);
    grid->addWidget(txtLt, 1, 1);
    return frame;
}

QGroupBox* frmLEQ::buildKvFrame() {
    auto* frame = new QGroupBox(QStringLiteral("KV m³/min x 10 m"), this);
    frame->setObjectName(QStringLiteral("Frame2"));
    txtKV = new QLineEdit(frame);
    txtKV->setObjectName(QStringLiteral("txtKV"));
    lblKVOrario = new QLabel(frame);
    lblKVOrario->setObjectName(QStringLiteral("lblKVOrario"));
    lblKVOrario->setToolTip(
        QStringLiteral("Il K.V. dei cataloghi delle valvole è in m³/h: diviso per 60 dà m³/min"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("K.V. (m³/min perdita 1 bar)"), frame), 0, 0);
    grid->addWidget(txtKV, 0, 1);
    grid->addWidget(lblKVOrario, 0, 2);
    // The same KV in m³/h beside the box, so that a catalogue's Kv converts by eye.
    connect(txtKV, &QLineEdit::textChanged, this, [this](const QString& text) {
        const std::optional<double> kv = parseUserNumber(text);
        lblKVOrario->setText(
            kv ? QStringLiteral("= %1 m³/h").arg(formatPicture(*kv * kMinutesPerHour, u"#0.00")) : QString());
    });
    return frame;
}

QGroupBox* frmLEQ::buildTableFrame() {
    auto* frame = new QGroupBox(QStringLiteral("Lunghezze in metri per questo diametro"), this);
    frame->setObjectName(QStringLiteral("Frame3"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("Un click sul numero aggiunge alla lungh. equiv."), frame), 0,
                    0, 1, 2);
    for (int k = 0; k < kFittingCount; ++k) {
        auto* name = new QLabel(fittingNames()[k], frame);
        name->setObjectName(QStringLiteral("lblB%1").arg(k));
        auto* value = new QPushButton(frame);
        value->setObjectName(QStringLiteral("lblA%1").arg(k));
        value->setFlat(true);
        value->setToolTip(QStringLiteral("Clik per aggiungere"));
        connect(value, &QPushButton::clicked, this, [this, k] { addFitting(k); });
        lblB[std::size_t(k)] = name;
        lblA[std::size_t(k)] = value;
        grid->addWidget(name, k + 1, 0);
        grid->addWidget(value, k + 1, 1);
    }
    return frame;
}

void frmLEQ::showTab(int tab) {
    Frame1->setVisible(tab == kTabLoss);
    Frame2->setVisible(tab == kTabKv);
    Frame3->setVisible(tab == kTabTable);
}

void frmLEQ::showTotal(const QString& text) {
    lblLE->setText(text);
}

void frmLEQ::btnCalcolaClick() {
    if (TabStrip1->currentIndex() == kTabLoss) {
        const std::optional<double> loss = positive(txtMm);
        const std::optional<double> flow = positive(txtLt);
        if (loss && flow)
            length_ = lengthFromLoss(*loss, *flow, perMetre_);
    } else if (const std::optional<double> kv = positive(txtKV)) {
        length_ = lengthFromKv(*kv, perMetre_);
    }
    if (length_ > kLongestEquivalentLength) {
        interaction_.inform(QStringLiteral("Lunghezza oltre 10 km"), QStringLiteral("Troppo lungo"),
                            MessageIcon::Exclamation);
        return;
    }
    total_ = length_;
    showTotal(formatPicture(total_, u"#0.0"));
}

void frmLEQ::addFitting(int fitting) {
    total_ += fittingValues_[std::size_t(fitting)];
    showTotal(formatGeneral(total_));
}

} // namespace valmora
