// Solvane Viewer: the whole command line is the path of one model to open.
#include <QApplication>
#include <QSettings>

#include "app/application.h"

int main(int argc, char** argv)
{
    solvane::PrepareGlSurfaceFormat();
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Solvane");
    QApplication::setApplicationName("Solvane.3.0");
    QApplication::setApplicationDisplayName("Solvane Viewer");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    return solvane::RunApplication(solvane::CommandLinePath(QApplication::arguments()));
}
