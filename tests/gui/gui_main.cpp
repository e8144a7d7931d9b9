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
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Solvane");
    QApplication::setApplicationName("Solvane.3.0");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QTemporaryDir store;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.path());
    // Nothing installed on the machine reaches the tests' settings, and what a test's wizard
    // associates goes to scratch desktop folders, never the user's own.
    QTemporaryDir system;
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, system.path());
    QTemporaryDir desktop;
    qputenv("XDG_CONFIG_HOME", (desktop.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (desktop.path() + "/data").toLocal8Bit());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
