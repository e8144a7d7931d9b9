// The program's own help pages (the user's guide and the FAQ, HTML files installed with it) and
// the one way the program opens an address in the desktop's browser or mail program.
//
// The pages are looked up relative to the executable, so the same lookup serves the build tree
// and an installed copy: <folder of the executable>/../share/doc/solvane/guide/. The build copies
// doc/guide/ to <build>/share/doc/solvane/guide/ (the programs sit one folder below <build>), and
// the install step puts it under <prefix>/share/doc/solvane/guide/ beside <prefix>/bin/solvane.
// The configured install folder is tried last, for a program started through a link.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

namespace solvane {

constexpr const char* kUserGuidePage = "index.html";
constexpr const char* kFaqPage = "faq.html";

// The folders searched for the help pages of a program in executableFolder (empty: this
// program's folder), in order.
QStringList HelpPageFolders(const QString& executableFolder = QString());
// The full path of a help page, or empty when it is not installed.
QString FindHelpPage(const QString& name, const QString& executableFolder = QString());

// Opens url with the desktop's handler for its scheme (browser, mail program). Returns false when
// none could be started.
using UrlOpener = std::function<bool(const QUrl& url)>;
// Replaces the opener (tests); an empty function restores the desktop's.
void SetUrlOpener(UrlOpener opener);
bool OpenUrl(const QUrl& url);

// Opens url; when nothing can show it, tells the user so (what names the page for the message:
// "the Solvane Viewer FAQ").
void OpenInBrowser(QWidget* parent, const QUrl& url, const QString& what);
// Opens an installed help page in the browser; a missing page or browser is reported.
void OpenHelpPage(QWidget* parent, const QString& name, const QString& what);

// The title of the box shown when no browser (or mail program) could be started.
constexpr const char* kNoBrowserTitle = "No Web Browser Found";

}  // namespace solvane
