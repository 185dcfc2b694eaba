#include "app/TbMain.h"

#include "app/AboutBox.h"
#include "app/frmAvvisi.h"
#include "app/frmRelazione.h"
#include "dialogs/Opzioni.h"
#include "editor/ChangeLabels.h"
#include "editor/GlobalChangeDialogs.h"
#include "editor/NetworkTools.h"
#include "editor/frmMatrice.h"
#include "editor/frmTubi.h"
#include "model/Calculation.h"
#include "model/DerivedQuantities.h"
#include "model/Traversal.h"
#include "platform/FileAccess.h"
#include "report/CalculationTable.h"
#include "report/Materiali.h"
#include "report/frmStampa.h"
#include "schema/SchemaPictures.h"
#include "storage/ProjectFile.h"
#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

// The main window's menus and toolbar: what each entry is called and what it runs.

namespace valmora {

namespace {

constexpr int kToolbarIconSize = 22;

struct ToolbarEntry {
    const char* key; // empty for a separator
    const char* tooltip;
    const char* glyph;
};

// The toolbar's 17 positions, in order.
constexpr std::array<ToolbarEntry, 17> kToolbar = {{
    {"salva", "Salva", ""},
    {"", "", ""},
    {"aggiunge", "Aggiunge in coda", "+"},
    {"inserisce", "Inserisce nella posiz. del cursore", "↳"},
    {"cancella", "Cancella", "✕"},
    {"", "", ""},
    {"decphi", "Diminuisce PHI", "φ−"},
    {"incphi", "Aumenta phi", "φ+"},
    {"", "", ""},
    {"schema", "Visualizza lo schema", "⊞"},
    {"Lok", "Chiude il tubo", "⊗"},
    {"", "", ""},
    {"Copia", "Copia", "C"},
    {"Incolla", "Incolla", "V"},
    {"", "", ""},
    {"KV", "KV e lunghezze equivalenti", "KV"},
    {"Pompa", "Curve di funzionamento", "P"},
}};

QIcon glyphIcon(const QString& glyph) {
    QPixmap picture(kToolbarIconSize, kToolbarIconSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(glyph.size() > 1 ? 11 : 16);
    painter.setFont(font);
    painter.setPen(QColor(0, 60, 150));
    painter.drawText(picture.rect(), Qt::AlignCenter, glyph);
    return QIcon(picture);
}

} // namespace

void TbMain::buildMenus() {
    auto action = [this](QMenu* menu, const char* name, const QString& caption, auto slot) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    action(file, "mnuApri", QStringLiteral("&Apri..."), &TbMain::openProject)
        ->setShortcut(QKeySequence::Open);
    action(file, "mnuNuovo", QStringLiteral("&Nuovo"), [this] {
        if (AskSaveFirst())
            NewProject();
    })->setShortcut(QKeySequence::New);
    action(file, "mnuSalva", QStringLiteral("&Salva"), &TbMain::save)->setShortcut(QKeySequence::Save);
    action(file, "mnuSaveas", QStringLiteral("Salva &come..."), &TbMain::saveAs);
    action(file, "mnuImporta", QStringLiteral("&Importa"), &TbMain::importProject);
    file->addSeparator();
    action(file, "mnuRelazione", QStringLiteral("&Dati della relazione…"), &TbMain::editReportData);
    action(file, "mnuEsportaTabella", QStringLiteral("Esporta &tabella…"), &TbMain::exportTable);
    file->addSeparator();
    action(file, "mnuEsci", QStringLiteral("&Uscire"), [this] { close(); });
    recentSeparator_ = file->addSeparator();
    recentSeparator_->setObjectName(QStringLiteral("mnumru0"));
    for (int i = 0; i < RecentFiles::kEntries; ++i) {
        QAction* entry = file->addAction(recentFiles_.captions()[std::size_t(i)]);
        entry->setObjectName(QStringLiteral("mnumru%1").arg(i + 1));
        connect(entry, &QAction::triggered, this, [this, i] { openRecent(i); });
        recentActions_[std::size_t(i)] = entry;
    }
    loadRecentMenu();

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Modifica"));
    edit->setObjectName(QStringLiteral("mnuModifica"));
    undoAction_ = action(edit, "mnuAnnulla", QString(), &TbMain::undo);
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_ = action(edit, "mnuRipeti", QString(), &TbMain::redo);
    redoAction_->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    updateHistoryActions();

    QAction* print = menuBar()->addAction(QStringLiteral("&Stampa"));
    print->setObjectName(QStringLiteral("mnuStampa"));
    connect(print, &QAction::triggered, this, &TbMain::showPrint);
    QAction* totals = menuBar()->addAction(QStringLiteral("&Totali"));
    totals->setObjectName(QStringLiteral("mnuTot"));
    connect(totals, &QAction::triggered, this, &TbMain::showMaterials);
    QAction* options = menuBar()->addAction(QStringLiteral("&Opzioni"));
    options->setObjectName(QStringLiteral("mnuOpzioni"));
    connect(options, &QAction::triggered, this, &TbMain::showOptions);

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Strumenti"));
    tools->setObjectName(QStringLiteral("mnuStrumenti"));
    action(tools, "mnuAumenta", QStringLiteral("&Aumenta tutto di un diametro"),
           [this] { stepAllDiameters(true); });
    action(tools, "mnuDiminuisce", QStringLiteral("&Diminuisce tutto di un diametro"),
           [this] { stepAllDiameters(false); });
    action(tools, "mnuCambiaTB", QStringLiteral("&Cambia tipo di tubo, globalmente"),
           &TbMain::changePipeSeries);
    action(tools, "mnuCambiaTerm", QStringLiteral("Cambia &terminale, globalmente"),
           &TbMain::changeTerminals);
    action(tools, "mnuMatrice", QStringLiteral("&Crea una serie di terminali"), &TbMain::createComb);
    action(tools, "mnuChiudiAnello", QStringLiteral("Chiudi un &anello..."), &TbMain::closeRing);
    action(tools, "mnuAnelli", QStringLiteral("Anel&li..."), &TbMain::showLoopPipes);
    tools->addSeparator();
    action(tools, "mnuAvvisi", QStringLiteral("A&vvisi della rete..."), &TbMain::showWarnings);
    action(tools, "mnuVerifica", QStringLiteral("Verifica di &norma..."), &TbMain::showVerification);
    action(tools, "mnuCurve", QStringLiteral("Curve di &funzionamento..."), &TbMain::showCurves);

    windowMenu_ = menuBar()->addMenu(QStringLiteral("&Finestra"));
    windowMenu_->setObjectName(QStringLiteral("mnuNull"));
    connect(windowMenu_, &QMenu::aboutToShow, this, &TbMain::fillWindowMenu);
    fillWindowMenu();

    QMenu* help = menuBar()->addMenu(QStringLiteral("&?"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    action(help, "mnuGuida", QStringLiteral("&Guida (F1)"), &TbMain::showHelp);
    action(help, "mnuInfo", QStringLiteral("&Info"), &TbMain::showAbout);

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("mnuNascosto"));
    action(popupMenu_, "nascosto0", QStringLiteral("&Chiudi (F10)"), [this] { activeChild()->chiudi(); });
    action(popupMenu_, "nascosto1", QStringLiteral("&Aumenta phi"), [this] { activeChild()->incphi(); });
    action(popupMenu_, "nascosto2", QStringLiteral("&Diminuisce phi"), [this] { activeChild()->decphi(); });
}

void TbMain::fillWindowMenu() {
    windowMenu_->clear();
    auto add = [this](const char* name, const QString& caption, auto slot) {
        QAction* a = windowMenu_->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, slot);
    };
    add("mnuWCascata", QStringLiteral("&Cascata"), [this] { mdi_->cascadeSubWindows(); });
    add("mnuWTile", QStringLiteral("a &Tegole"), [this] { tileHorizontally(); });
    add("mnuWArrange", QStringLiteral("&Disponi"), [this] { arrangeIcons(); });
    const QList<QMdiSubWindow*> frames = mdi_->subWindowList();
    if (!frames.isEmpty())
        windowMenu_->addSeparator();
    for (QMdiSubWindow* frame : frames) {
        QAction* a = windowMenu_->addAction(frame->windowTitle());
        a->setCheckable(true);
        a->setChecked(frame == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, frame] { mdi_->setActiveSubWindow(frame); });
    }
}

void TbMain::buildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Strumenti"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setMovable(false);
    for (const ToolbarEntry& entry : kToolbar) {
        const QString key = QString::fromLatin1(entry.key);
        if (key.isEmpty()) {
            toolbarPositions_.push_back(toolbar_->addSeparator());
            continue;
        }
        const QString glyph = QString::fromUtf8(entry.glyph);
        const QIcon icon =
            glyph.isEmpty() ? style()->standardIcon(QStyle::SP_DialogSaveButton) : glyphIcon(glyph);
        QAction* button = toolbar_->addAction(icon, QString::fromUtf8(entry.tooltip));
        button->setObjectName(key);
        button->setData(key);
        button->setToolTip(QString::fromUtf8(entry.tooltip));
        toolbarPositions_.push_back(button);
    }
    // After the seventeen positions: the menu's "Annulla" and "Ripeti".
    toolbar_->addSeparator();
    undoAction_->setIcon(glyphIcon(QStringLiteral("↶")));
    redoAction_->setIcon(glyphIcon(QStringLiteral("↷")));
    toolbar_->addAction(undoAction_);
    toolbar_->addAction(redoAction_);
    // The click handler knows the buttons by their key, never by their position.
    connect(toolbar_, &QToolBar::actionTriggered, this, [this](QAction* button) {
        const QString key = button->data().toString();
        if (key == QLatin1String("salva"))
            save();
        else if (key == QLatin1String("aggiunge"))
            activeChild()->Nuovo(false);
        else if (key == QLatin1String("inserisce"))
            activeChild()->Nuovo(true);
        else if (key == QLatin1String("cancella"))
            activeChild()->Cancella();
        else if (key == QLatin1String("decphi"))
            activeChild()->decphi();
        else if (key == QLatin1String("incphi"))
            activeChild()->incphi();
        else if (key == QLatin1String("Lok"))
            activeChild()->Lok();
        else if (key == QLatin1String("KV"))
            activeChild()->LunEq();
        else if (key == QLatin1String("schema"))
            showSchema();
        else if (key == QLatin1String("Copia"))
            copySnippet();
        else if (key == QLatin1String("Incolla"))
            pasteSnippet();
        else if (key == QLatin1String("Pompa"))
            showCurves();
    });
}

QAction* TbMain::toolbarButton(const QString& key) const {
    for (QAction* a : toolbarPositions_)
        if (a->data().toString() == key)
            return a;
    return nullptr;
}

// ---- recent files -----------------------------------------------------------------

void TbMain::loadRecentMenu() {
    recentFiles_.LoadRecentMenu();
    recentSeparator_->setVisible(recentFiles_.separatorVisible());
    for (int i = 0; i < RecentFiles::kEntries; ++i) {
        recentActions_[std::size_t(i)]->setText(recentFiles_.captions()[std::size_t(i)]);
        recentActions_[std::size_t(i)]->setVisible(recentFiles_.entryVisible(i));
    }
}

void TbMain::addRecentFile(const QString& path) {
    recentFiles_.AddRecentFile(path);
    loadRecentMenu();
}

} // namespace valmora
