// main() of the GUI test programs: the GL surface format, the application, a settings store of
// their own and desktop folders in a scratch folder.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <fstream>
#include <set>
#include <string>

#include "app/application.h"

namespace {

// The application's end unloads the GL driver; LeakSanitizer, reporting after that, could then no
// longer name the driver's modules, and its suppressions (which name nothing else) would miss the
// driver's own caches. Loaded GL driver modules are therefore kept until the process ends.
void KeepGlDriverLoaded()
{
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> pinned;
    for (std::string line; std::getline(maps, line);) {
        const size_t slash = line.find('/');
        if (slash == std::string::npos) continue;
        const std::string path = line.substr(slash);
        const bool driver = path.find("/dri/") != std::string::npos || path.find("libgallium") != std::string::npos ||
                            path.find("libLLVM") != std::string::npos || path.find("libglapi") != std::string::npos ||
                            path.find("_mesa.so") != std::string::npos;
        if (driver && pinned.insert(path).second) dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

}  // namespace

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
    const int status = RUN_ALL_TESTS();
    KeepGlDriverLoaded();
    return status;
}
