#include "app/application.h"

#include <QApplication>
#include <QSurfaceFormat>

#include "app/main_window.h"
#include "app/settings_store.h"
#include "app/usage_ui.h"
#include "app/wizard.h"

namespace solvane {

void PrepareGlSurfaceFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    QSurfaceFormat::setDefaultFormat(format);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void PreferX11Platform(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
    for (int i = 1; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (word == "--") break;
        if (word == "-platform" || word == "--platform" || word.startsWith("-platform=") ||
            word.startsWith("--platform="))
            return;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) return;
    qputenv("QT_QPA_PLATFORM", "xcb");
}

QString CommandLinePath(const QStringList& arguments)
{
    return arguments.mid(1).join(' ');
}

int RunApplication(const QString& path, const UsageConfig& usageConfig)
{
    Settings settings;
    ReadAll(settings);
    UsageSession usage(settings, usageConfig);
    usage.SendInstallReportIfFlagged();
    // The wizard at the first start only: it runs before the window exists, then its flag is
    // cleared and everything it chose is stored.
    if (settings.show_wizard) RunConfigurationWizard(nullptr, true, settings);
    settings.show_wizard = 0;
    WriteAll(settings);
    usage.StartStartReport();
    int exitCode = 0;
    {
        MainWindow window(settings);
        usage.Attach(window);
        window.ShowAtStart();
        if (!path.isEmpty()) window.StartModelLoad(path);
        settings.depthCueColor = settings.Background();
        exitCode = QApplication::exec();
        if (settings.save_settings) {
            window.PrepareSettingsForExit();
            WriteAll(settings);
        }
    }
    usage.SendCloseReport();
    return exitCode;
}

}  // namespace solvane
