// Solvane Viewer: the command line names one model to open. Its words form one path, so a path
// with blanks opens whether or not it is quoted.
#include <QApplication>
#include <QSettings>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/application.h"

namespace {

constexpr char kHelp[] =
    "Usage: solvane [OPTIONS] [--] [MODEL]\n"
    "Opens the 3D model MODEL in the Solvane Viewer window. The words after the options form one\n"
    "path, so a path with blanks opens with or without surrounding double quotes.\n"
    "\n"
    "Options:\n"
    "  -h, --help   print this help and exit\n"
    "  --version    print the program's name and version and exit\n"
    "  --           end of the options: what follows is the path, even when it begins with '-'\n"
    "\n"
    "Qt's own options, such as -platform NAME, -display DISPLAY and -style STYLE, are accepted too.\n";

}  // namespace

int main(int argc, char** argv)
{
    // Our own options are answered before a display is opened. The words after "--" are kept from
    // Qt, which would otherwise take some of them (-style, -display, ...) as its own options.
    std::vector<char*> qtArguments{argv[0]};
    int endOfOptions = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            endOfOptions = i;
            break;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("solvane (Solvane Viewer) " SOLVANE_VERSION);
            return 0;
        }
        qtArguments.push_back(argv[i]);
    }
    int qtArgumentCount = static_cast<int>(qtArguments.size());
    qtArguments.push_back(nullptr);

    solvane::PrepareGlSurfaceFormat();
    solvane::PreferX11Platform(argc, argv);
    QApplication application(qtArgumentCount, qtArguments.data());
    QApplication::setOrganizationName("Solvane");
    QApplication::setApplicationName("Solvane.3.0");
    // No display name: Qt would append it to every window title, and the titles are exact.
    // The desktop file name ties the windows to the installed desktop entry (icon, grouping).
    QGuiApplication::setDesktopFileName("solvane");
    QSettings::setDefaultFormat(QSettings::IniFormat);

    // Qt has removed the options it took; anything else that looks like an option is a mistake
    // rather than a path ("-" alone names a file).
    QStringList words = QApplication::arguments();
    for (const QString& word : words.mid(1)) {
        if (word.size() > 1 && word.startsWith('-')) {
            const QByteArray text = word.toLocal8Bit();
            std::fprintf(stderr,
                         "solvane: unknown option '%s'\n"
                         "A model path that begins with '-' goes after '--': solvane -- %s\n"
                         "Run 'solvane --help' for usage.\n",
                         text.constData(), text.constData());
            return 2;
        }
    }
    for (int i = endOfOptions + 1; i < argc; ++i) words.append(QString::fromLocal8Bit(argv[i]));
    return solvane::RunApplication(solvane::CommandLinePath(words));
}
