#include "tests/gui/Transcript.h"

#include "app/TbMain.h"
#include "editor/frmTubi.h"
#include "tests/GoldenFiles.h"
#include "tests/gui/GuiTestSupport.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTabBar>

#include <array>

namespace valmora::guitest {

namespace {

// The grid windows' colours by a letter; any other by its name.
QString colourMark(const QColor& colour) {
    static const std::array<std::pair<QColor, char>, 6> kNamed{{{kYellow, 'G'},
                                                                {kCyan, 'C'},
                                                                {kMagenta, 'M'},
                                                                {kClosedPink, 'R'},
                                                                {kCheckOrange, 'A'},
                                                                {kSchemaRed, 'r'}}};
    if (!colour.isValid())
        return {};
    for (const auto& [named, letter] : kNamed)
        if (colour.rgb() == named.rgb())
            return QStringLiteral("{%1}").arg(QLatin1Char(letter));
    return u'{' + colour.name() + u'}';
}

} // namespace

void Transcript::asked() {
    for (; seen_ < ask_.log.size(); ++seen_)
        text_ += QStringLiteral("  ") + ask_.log[seen_] + u'\n';
}

Transcript& Transcript::step(const QString& what) {
    text_ += QStringLiteral("== ") + what + QStringLiteral(" ==\n");
    asked();
    return *this;
}

Transcript& Transcript::line(const QString& text) {
    asked();
    text_ += text + u'\n';
    return *this;
}

namespace {

// What a control shows, or nothing for controls that hold no text or value of their own.
QString shownBy(const QWidget& w) {
    const auto quoted = [](QString text) { return u'"' + text.replace(u'\n', QStringLiteral("\\n")) + u'"'; };
    if (const auto* edit = qobject_cast<const QLineEdit*>(&w))
        return quoted(edit->text());
    if (const auto* label = qobject_cast<const QLabel*>(&w))
        return quoted(label->text());
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(&w))
        return quoted(text->toPlainText());
    if (const auto* combo = qobject_cast<const QComboBox*>(&w))
        return QStringLiteral("%1 (%2 di %3)")
            .arg(quoted(combo->currentText()))
            .arg(combo->currentIndex() + 1)
            .arg(combo->count());
    if (const auto* slider = qobject_cast<const QAbstractSlider*>(&w))
        return QStringLiteral("%1 (da %2 a %3, passo %4)")
            .arg(slider->value())
            .arg(slider->minimum())
            .arg(slider->maximum())
            .arg(slider->pageStep());
    if (const auto* box = qobject_cast<const QGroupBox*>(&w))
        return quoted(box->title());
    if (const auto* tabs = qobject_cast<const QTabBar*>(&w))
        return QStringLiteral("scheda %1").arg(quoted(tabs->tabText(tabs->currentIndex())));
    if (const auto* button = qobject_cast<const QAbstractButton*>(&w))
        return quoted(button->text()) +
               (button->isCheckable() && button->isChecked() ? QStringLiteral(" [x]") : QString());
    return {};
}

} // namespace

Transcript& Transcript::widgets(const QWidget& dialog) {
    asked();
    text_ += QStringLiteral("[%1]\n").arg(dialog.windowTitle());
    for (const QWidget* w : dialog.findChildren<QWidget*>()) {
        // A tab bar's own scroll buttons are not the program's.
        const bool own = !w->objectName().isEmpty() && !qobject_cast<const QTabBar*>(w->parentWidget());
        const QString shown = own && w->isVisibleTo(&dialog) ? shownBy(*w) : QString();
        if (!shown.isEmpty())
            text_ +=
                QStringLiteral("  %1: %2%3\n")
                    .arg(w->objectName(), shown, w->isEnabled() ? QString() : QStringLiteral(" (spento)"));
    }
    return *this;
}

Transcript& Transcript::cells(const GridControl& grid) {
    asked();
    const QAbstractItemModel& model = *grid.model();
    for (int r = 0; r < grid.rows(); ++r) {
        QStringList cells;
        QStringList tips;
        // A row all of one colour says it once, at its end.
        QString rowColour = r > 0 ? colourMark(grid.cellBackColor(r, 0)) : QString();
        for (int c = 1; c < grid.cols() && !rowColour.isEmpty(); ++c)
            if (colourMark(grid.cellBackColor(r, c)) != rowColour)
                rowColour.clear();
        for (int c = 0; c < grid.cols(); ++c) {
            QString cell = grid.textMatrix(r, c);
            if (r > 0) {
                const QModelIndex index = model.index(r - 1, c);
                const QPixmap picture = model.data(index, Qt::DecorationRole).value<QPixmap>();
                for (const GridIcon icon :
                     {GridIcon::Nulla, GridIcon::FrecciaSu, GridIcon::FrecciaDx, GridIcon::FrecciaGiu,
                      GridIcon::Idrante, GridIcon::Naspo, GridIcon::SuperIdr, GridIcon::Ugello})
                    if (!picture.isNull() && picture.toImage() == icons_.picture(icon).toImage())
                        cell = u'<' + GridIcons::name(icon) + u'>' + cell;
                if (rowColour.isEmpty())
                    cell += colourMark(grid.cellBackColor(r, c));
                const QVariant foreground = model.data(index, Qt::ForegroundRole);
                if (foreground.isValid())
                    cell += QStringLiteral("{fg") + colourMark(foreground.value<QBrush>().color()).mid(1);
                if (!grid.cellToolTip(r, c).isEmpty())
                    tips << QStringLiteral("     ! %1: %2").arg(c).arg(grid.cellToolTip(r, c));
            }
            cells << (r > 0 && r == grid.row() && c == grid.col() ? u'[' + cell + u']' : cell);
        }
        text_ +=
            (r > 0 && r == grid.row() ? QStringLiteral(">%1 ").arg(r, 3) : QStringLiteral(" %1 ").arg(r, 3)) +
            cells.join(QStringLiteral(" | ")) + (rowColour.isEmpty() ? QString() : u' ' + rowColour) + u'\n';
        for (const QString& tip : tips)
            text_ += tip + u'\n';
    }
    return *this;
}

Transcript& Transcript::grid(const frmTubi& window) {
    asked();
    text_ += QStringLiteral("[%1] tag %2\n").arg(window.caption(), window.tag());
    cells(*window.Griglia);
    if (window.editing())
        text_ += QStringLiteral("  casella: \"%1\"\n").arg(window.Txtedit->text());
    text_ += QStringLiteral("  stato: ") + window.StatusBar1->text() + u'\n';
    return *this;
}

Transcript& Transcript::program(const TbMain& window) {
    asked();
    text_ += QStringLiteral("titolo: ") + window.windowTitle() + u'\n';
    for (QMdiSubWindow* frame : window.mdiArea()->subWindowList())
        if (frame->isVisible() || !frame->isHidden())
            text_ += QStringLiteral("  finestra%1 %2\n")
                         .arg(frame == window.mdiArea()->activeSubWindow() ? QStringLiteral("*") : QString(),
                              frame->windowTitle());
    QStringList off;
    for (const char* key : {"salva", "aggiunge", "inserisce", "cancella", "decphi", "incphi", "schema", "Lok",
                            "Copia", "Incolla", "KV", "Pompa"})
        if (QAction* button = window.toolbarButton(QString::fromLatin1(key)); button && !button->isEnabled())
            off << QString::fromLatin1(key);
    if (!off.isEmpty())
        text_ += QStringLiteral("  pulsanti spenti: ") + off.join(u' ') + u'\n';
    for (QAction* entry : {window.undoAction(), window.redoAction()})
        text_ += QStringLiteral("  %1%2\n")
                     .arg(entry->text(), entry->isEnabled() ? QString() : QStringLiteral(" (spento)"));
    return *this;
}

void Transcript::expectGolden(const QString& name, Locales locales) {
    asked();
    text_.replace(QStringLiteral(VALMORA_DATA_DIR), QStringLiteral("<dati>")); // wherever the clone stands
    for (const auto& [text, as] : hidden_)
        text_.replace(text, as);
    const bool italian = locales == Locales::EachItsOwn && QLocale().decimalPoint() == u',';
    testkit::expectGolden(QStringLiteral("gui/") + name +
                              (italian ? QStringLiteral(".it.txt") : QStringLiteral(".txt")),
                          text_);
}

} // namespace valmora::guitest
