// The Help menu's pages: the user's guide and the FAQ are found where the build and an install put
// them, opened through the desktop's URL handling (intercepted here), and a missing browser is
// reported with the page's path. The pages themselves: every command of the menus is described,
// and every link between them leads somewhere.
#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

#include "app/command_table.h"
#include "app/help_pages.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::IsA;
using test::ModalDriver;
using test::Session;

// Stands in for the desktop's handler of a URL scheme.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(const QString& scheme) : scheme_(scheme) { QDesktopServices::setUrlHandler(scheme, this, "Open"); }
    ~UrlCatcher() override { QDesktopServices::unsetUrlHandler(scheme_); }
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }

private:
    QString scheme_;
};

QString ReadPage(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll());
}

// The help commands open the installed pages as local files in the desktop's browser.
TEST(HelpGui, GuideAndFaqOpenTheInstalledPages)
{
    test::FreshSession s;
    UrlCatcher files("file");
    const struct {
        int command;
        const char* page;
        const char* title;
    } cases[] = {
        {command::UserGuide, "index.html", "<title>Solvane Viewer User's Guide</title>"},
        {command::Faq, "faq.html", "<title>Solvane Viewer FAQ</title>"},
    };
    for (const auto& c : cases) {
        files.opened.clear();
        s.Trigger(c.command);
        ASSERT_EQ(files.opened.size(), 1) << c.page;
        const QUrl url = files.opened.front();
        ASSERT_TRUE(url.isLocalFile());
        const QString path = url.toLocalFile();
        EXPECT_TRUE(path.endsWith(QString("share/doc/solvane/guide/") + c.page)) << path.toStdString();
        EXPECT_TRUE(ReadPage(path).contains(c.title)) << path.toStdString();
    }
}

// Without a browser the user learns where the page is.
TEST(HelpGui, NoBrowserIsReportedWithThePagesPath)
{
    test::FreshSession s;
    QList<QUrl> tried;
    SetUrlOpener([&](const QUrl& url) {
        tried << url;
        return false;
    });
    QString title;
    QString text;
    ModalDriver driver([&](QWidget* modal) {
        auto* box = static_cast<QMessageBox*>(modal);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    }, IsA("QMessageBox"));
    s.Trigger(command::UserGuide);
    SetUrlOpener({});
    ASSERT_EQ(tried.size(), 1);
    EXPECT_EQ(title, kNoBrowserTitle);
    EXPECT_TRUE(text.contains(tried.front().toLocalFile())) << text.toStdString();
    EXPECT_TRUE(text.contains("User's Guide")) << text.toStdString();
}

// An installed copy finds its pages beside its prefix, wherever the prefix is.
TEST(HelpGui, PagesAreFoundRelativeToTheExecutable)
{
    test::ScratchDir prefix;
    const QString root = QString::fromStdString(prefix.Path().string());
    ASSERT_TRUE(QDir(root).mkpath("bin"));
    ASSERT_TRUE(QDir(root).mkpath("share/doc/solvane/guide"));
    QFile page(root + "/share/doc/solvane/guide/faq.html");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    EXPECT_EQ(HelpPageFolders(root + "/bin").front(), root + "/share/doc/solvane/guide");
    EXPECT_EQ(FindHelpPage("faq.html", root + "/bin"), root + "/share/doc/solvane/guide/faq.html");
    // Elsewhere the build tree's copy (one folder up from the test programs) is found.
    EXPECT_TRUE(FindHelpPage("index.html").endsWith("share/doc/solvane/guide/index.html"));
    EXPECT_TRUE(FindHelpPage("missing.html").isEmpty());
}

// Every command a menu offers is described in the guide under its menu text, so a command added
// without its description fails here.
TEST(HelpGui, GuideDescribesEveryMenuCommand)
{
    const QString guide = ReadPage(FindHelpPage(kUserGuidePage));
    ASSERT_FALSE(guide.isEmpty());
    auto html = [](QString text) {
        text.replace("&", "&amp;").replace("'", "'");
        return text;
    };
    for (const CommandRow& row : CommandTable()) {
        if (!IsAvailableYet(row)) continue;
        // The menu's own text (mnemonic marks kept, as the guide shows them).
        const QString text = QString::fromUtf8(row.text);
        const QString plain = QString(text).remove('&');
        EXPECT_TRUE(guide.contains(html(text)) || guide.contains(plain) || guide.contains(html(plain)))
            << "not in the guide: " << text.toStdString();
    }
    for (const char* section : {"#opening", "#mouse", "#formats", "#images", "#cli", "#settings"}) {
        EXPECT_TRUE(guide.contains(QString("id=\"") + (section + 1) + "\"")) << section;
    }
}

// Links between the pages, to their anchors and to their images all lead somewhere.
TEST(HelpGui, PageLinksLeadSomewhere)
{
    for (const char* name : {kUserGuidePage, kFaqPage}) {
        const QString path = FindHelpPage(name);
        ASSERT_FALSE(path.isEmpty()) << name;
        const QString folder = QFileInfo(path).absolutePath();
        const QString page = ReadPage(path);
        const QRegularExpression link(R"re((?:href|src)="([^"]+)")re");
        int links = 0;
        for (auto match = link.globalMatch(page); match.hasNext();) {
            const QString target = match.next().captured(1);
            if (target.contains("://") || target.startsWith("mailto:")) continue;
            ++links;
            const QString file = target.section('#', 0, 0);
            const QString anchor = target.section('#', 1);
            const QString targetPath = file.isEmpty() ? path : folder + "/" + file;
            ASSERT_TRUE(QFileInfo::exists(targetPath)) << name << ": " << target.toStdString();
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(ReadPage(targetPath).contains("id=\"" + anchor + "\"")) << name << ": " << target.toStdString();
            }
        }
        EXPECT_GT(links, 10) << name;
    }
}

}  // namespace
}  // namespace solvane

#include "test_gui_help.moc"
