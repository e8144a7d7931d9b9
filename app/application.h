// Start-up and shut-down of the program around the main window.
#pragma once

#include <QString>
#include <QStringList>

#include "net/usage.h"

namespace solvane {

// The default surface format (compatibility profile 2.1, RGBA8, depth 24, double buffer) and
// shared contexts; call before constructing QApplication.
void PrepareGlSurfaceFormat();
// Chooses Qt's X11 platform (xcb) unless the user named one (QT_QPA_PLATFORM, or -platform on the
// command line): the panels are placed, docked and kept above the main window through the window
// manager, which a Wayland compositor does not let a program do; on a Wayland desktop the program
// runs through XWayland. Without an X display but with a Wayland one, Qt chooses. Call before
// constructing QApplication.
void PreferX11Platform(int argc, char** argv);
// The whole command line (program name excluded) as the one path it names.
QString CommandLinePath(const QStringList& arguments);
// Runs the program: reads the settings, shows the window, opens the path when not empty, runs the
// loop, and writes the settings at exit when "Save Settings On Exit" is on. Usage reports go to
// the endpoint of usage (the built-in one unless a test names another). Returns the exit code.
int RunApplication(const QString& path, const UsageConfig& usage = UsageConfig());

}  // namespace solvane
