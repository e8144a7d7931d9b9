#include "app/help_pages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace solvane {
namespace {

// Where the pages sit below a prefix, and the prefix the build was configured to install to.
constexpr const char* kGuideFolder = "share/doc/solvane/guide";
#ifndef SOLVANE_INSTALL_PREFIX
#define SOLVANE_INSTALL_PREFIX "/usr/local"
#endif

UrlOpener& Opener()
{
    static UrlOpener opener;
    return opener;
}

}  // namespace

QStringList HelpPageFolders(const QString& executableFolder)
{
    const QString programFolder =
        executableFolder.isEmpty() ? QCoreApplication::applicationDirPath() : executableFolder;
    QStringList folders;
    folders << QDir::cleanPath(programFolder + "/../" + kGuideFolder);
    folders << QDir::cleanPath(QString(SOLVANE_INSTALL_PREFIX) + "/" + kGuideFolder);
    folders.removeDuplicates();
    return folders;
}

QString FindHelpPage(const QString& name, const QString& executableFolder)
{
    for (const QString& folder : HelpPageFolders(executableFolder)) {
        const QFileInfo page(folder + "/" + name);
        if (page.isFile()) return page.absoluteFilePath();
    }
    return QString();
}

void SetUrlOpener(UrlOpener opener)
{
    Opener() = std::move(opener);
}

bool OpenUrl(const QUrl& url)
{
    if (Opener()) return Opener()(url);
    return QDesktopServices::openUrl(url);
}

void OpenInBrowser(QWidget* parent, const QUrl& url, const QString& what)
{
    if (OpenUrl(url)) return;
    const bool mail = url.scheme() == "mailto";
    const QString shown = url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
    QString text;
    if (mail) {
        text = QString("Solvane could not start a mail program to write to %1.").arg(url.path());
    } else {
        text = QString("Solvane could not start a web browser to show %1.\n\n"
                       "Open this address in a browser of your choice:\n%2")
                   .arg(what, shown);
    }
    QMessageBox box(QMessageBox::Warning, mail ? QString("No Mail Program Found") : QString(kNoBrowserTitle), text,
                    QMessageBox::Ok, parent);
    box.setObjectName("no_browser_box");
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

void OpenHelpPage(QWidget* parent, const QString& name, const QString& what)
{
    const QString path = FindHelpPage(name);
    if (path.isEmpty()) {
        QString named = what;
        if (!named.isEmpty()) named[0] = named[0].toUpper();
        QString text = QString("%1 is not installed with this copy of Solvane.\n\nIt was looked for in:\n").arg(named);
        text += HelpPageFolders().join('\n');
        QMessageBox box(QMessageBox::Warning, "Help Page Not Found", text, QMessageBox::Ok, parent);
        box.setObjectName("no_help_page_box");
        box.exec();
        return;
    }
    OpenInBrowser(parent, QUrl::fromLocalFile(path), what);
}

}  // namespace solvane
