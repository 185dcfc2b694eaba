#include "app/TbMain.h"
#include "platform/ProgramStart.h"
#include "platform/WidgetInteraction.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    valmora::keepLargeBlocksInTheHeap();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Valmora"));
    QApplication::setApplicationVersion(QStringLiteral(VALMORA_VERSION));
    valmora::useItalianNumbersUnlessALocaleIsChosen();

    // The interface is Italian whatever the user's language: Qt's own dialogs too.
    QTranslator qtItalian;
    if (qtItalian.load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtItalian);

    valmora::WidgetInteraction interaction;
    valmora::TbMain window(interaction, valmora::RecentFiles::userSettings(),
                           valmora::CatalogueSearch::standard());
    interaction.setParent(&window);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!window.start(arguments.join(u' ')))
        return 1;
    window.show();
    return QApplication::exec();
}
