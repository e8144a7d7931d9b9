// main() of the GUI test programs: the GL surface format, the application, a settings store of
// their own and desktop folders in a scratch folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "app/application.h"

int main(int argc, char** argv)
{
    solvane::PrepareGlSurfaceFormat();
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("xcb") : qgetenv("QT_QPA_PLATFORM"));
    // Nothing of the user's reaches the tests and nothing of theirs is left with the user: the
    // desktop folders (Qt's own file dialog state among them, and what a test's wizard
    // associates) are scratch folders, set before Qt first looks them up.
    QTemporaryDir desktop;
    qputenv("XDG_CONFIG_HOME", (desktop.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (desktop.path() + "/data").toLocal8Bit());
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Solvane");
    QApplication::setApplicationName("Solvane.3.0");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QTemporaryDir store;
    QTemporaryDir system;
    for (const QSettings::Format format : {QSettings::IniFormat, QSettings::NativeFormat}) {
        QSettings::setPath(format, QSettings::UserScope, store.path());
        QSettings::setPath(format, QSettings::SystemScope, system.path());
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
