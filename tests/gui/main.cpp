#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Numbers shown and typed in the C locale, or in the one VALMORA_TEST_LOCALE names ("it_IT").
    const QString locale = qEnvironmentVariable("VALMORA_TEST_LOCALE");
    if (!locale.isEmpty() && QLocale(locale).name() != locale) {
        fprintf(stderr, "VALMORA_TEST_LOCALE: unknown locale %s\n", qPrintable(locale));
        return 2;
    }
    QLocale::setDefault(locale.isEmpty() ? QLocale::c() : QLocale(locale));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
