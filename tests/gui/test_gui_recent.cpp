// The recent-files lists: the list rules (a reopened path moves up, the eleventh drops the oldest,
// letter case counts), what is stored after each change and how a damaged store is read, and the
// two submenus of the File menu with entries that open their files.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include <optional>
#include <string>
#include <vector>

#include "app/command_table.h"
#include "app/recent_files.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::ModalWatcher;
using test::Session;
using test::WaitUntil;

// The stored value of a key, as text; nothing when the key is missing.
std::optional<QString> Stored(const QString& key)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Solvane", "Solvane.3.0");
    if (!store.contains(key)) return std::nullopt;
    return store.value(key).toString();
}

void Store(const QString& key, const QString& value)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, "Solvane", "Solvane.3.0");
    store.setValue(key, value);
}

std::vector<std::string> Entries(const RecentFileList& list)
{
    return std::vector<std::string>(list.paths.begin(), list.paths.begin() + list.count);
}

RecentFileList ListOf(const std::vector<std::string>& paths)
{
    RecentFileList list;
    for (size_t i = 0; i < paths.size(); ++i) list.paths[i] = paths[i];
    list.count = static_cast<int32_t>(paths.size());
    return list;
}

std::vector<std::string> Numbered(const char* stem, int first, int last)
{
    std::vector<std::string> paths;
    for (int i = first; i <= last; ++i) paths.push_back(stem + std::to_string(i));
    return paths;
}

// Small distinct models in a scratch folder.
std::string WriteTriangle(const test::ScratchDir& dir, const std::string& name)
{
    return dir.Write(name, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
}

// The texts of a submenu's items, a separator as "-".
QStringList MenuTexts(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions()) texts << (action->isSeparator() ? QString("-") : action->text());
    return texts;
}

// The entry i of a list's submenu, found among the items it shows now.
QAction* RecentEntry(const Session& s, RecentList which, int i)
{
    const int first = which == RecentList::Reads ? command::RecentReadFirst : command::RecentWriteFirst;
    for (QAction* action : s.window->RecentMenu(which)->actions()) {
        if (action->objectName() == QString("menu_%1").arg(first + i)) return action;
    }
    return nullptr;
}

std::vector<std::string> ShownEntries(const Session& s, RecentList which)
{
    std::vector<std::string> paths;
    for (QAction* action : s.window->RecentMenu(which)->actions()) {
        if (!action->isSeparator() && action->objectName().startsWith("menu_3")) paths.push_back(action->toolTip().toStdString());
    }
    return paths;
}

TEST(RecentFiles, AddingFollowsTheListRules)
{
    const std::vector<std::string> full = Numbered("/m/p", 0, 9);
    std::vector<std::string> fullReopened = {"/m/p9"};
    fullReopened.insert(fullReopened.end(), full.begin(), full.end() - 1);
    std::vector<std::string> eleventh = {"/m/new"};
    eleventh.insert(eleventh.end(), full.begin(), full.end() - 1);
    const struct {
        const char* what;
        RecentFileList before;
        std::string add;
        std::vector<std::string> after;
    } cases[] = {
        {"first entry", {}, "/m/a", {"/m/a"}},
        {"a new path goes on top", ListOf({"/m/a", "/m/b"}), "/m/c", {"/m/c", "/m/a", "/m/b"}},
        {"a reopened path moves up", ListOf({"A", "B", "C", "D"}), "C", {"C", "A", "B", "D"}},
        {"the newest stays", ListOf({"A", "B"}), "A", {"A", "B"}},
        {"the oldest moves up", ListOf({"A", "B", "C"}), "C", {"C", "A", "B"}},
        {"the eleventh drops the oldest", ListOf(full), "/m/new", eleventh},
        {"a full list keeps ten", ListOf(full), "/m/p9", fullReopened},
        {"letter case makes another entry", ListOf({"/m/a.obj"}), "/m/A.obj", {"/m/A.obj", "/m/a.obj"}},
        {"after clearing, an old path is the only entry", [] {
             RecentFileList cleared = ListOf({"A", "B"});
             ClearRecentList(cleared);
             return cleared;
         }(), "B", {"B"}},
    };
    for (const auto& c : cases) {
        RecentFileList list = c.before;
        AddRecentPath(list, c.add);
        EXPECT_EQ(Entries(list), c.after) << c.what;
    }
}

TEST(RecentFiles, MenuTextIsThePathShortenedInTheMiddle)
{
    const QString deep = "/home/anna/projects/2024/client-work/automotive/prototypes/body/v3/ferrari-f40-body.3ds";
    const QString longName = "/m/" + QString(90, 'x') + ".obj";
    const struct {
        QString path;
        QString text;
    } cases[] = {
        {"/m/teapot.obj", "/m/teapot.obj"},
        // "&" would underline the next letter.
        {"/m/Tom & Jerry.obj", "/m/Tom && Jerry.obj"},
        // Folders go from the middle; the file name and the folders at both ends stay.
        {deep, "/home/anna/projects/2024/.../prototypes/body/v3/ferrari-f40-body.3ds"},
        // A file name longer than the menu keeps it whole.
        {longName, "/.../" + QString(90, 'x') + ".obj"},
        {QString(80, 'y'), QString(80, 'y')},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RecentMenuText(c.path), c.text) << c.path.toStdString();
    }
    EXPECT_GT(deep.size(), kRecentMenuChars);
    EXPECT_LE(RecentMenuText(deep).size(), kRecentMenuChars);
}

// What a store holds (as the program or a hand wrote it) and the lists read from it.
TEST(RecentFiles, StoredListsAreReadWithTheirRules)
{
    const struct {
        const char* what;
        std::vector<std::pair<QString, QString>> keys;
        std::vector<std::string> reads;
        std::vector<std::string> writes;
    } cases[] = {
        {"an empty store", {}, {}, {}},
        {"three of each",
         {{"num_recent_files", "3"}, {"recent_file_0", "/a"}, {"recent_file_1", "/b"}, {"recent_file_2", "/c"},
          {"num_recent_files_write", "2"}, {"recent_file_0_write", "/w"}, {"recent_file_1_write", "/x"}},
         {"/a", "/b", "/c"},
         {"/w", "/x"}},
        {"a count of -1 is missing", {{"num_recent_files", "-1"}, {"recent_file_0", "/a"}}, {}, {}},
        {"a negative count is none", {{"num_recent_files", "-4"}, {"recent_file_0", "/a"}}, {}, {}},
        {"a count that is no number is none", {{"num_recent_files", "many"}, {"recent_file_0", "/a"}}, {}, {}},
        {"a count is read like a number at the start of the text",
         {{"num_recent_files", " 2 files"}, {"recent_file_0", "/a"}, {"recent_file_1", "/b"}}, {"/a", "/b"}, {}},
        {"a count above ten is ten",
         [] {
             std::vector<std::pair<QString, QString>> keys = {{"num_recent_files", "400"}};
             for (int i = 0; i < 10; ++i) keys.push_back({QString("recent_file_%1").arg(i), QString("/p%1").arg(i)});
             return keys;
         }(),
         Numbered("/p", 0, 9),
         {}},
        {"a missing path within the count is left out",
         {{"num_recent_files", "3"}, {"recent_file_0", "/a"}, {"recent_file_2", "/c"}}, {"/a", "/c"}, {}},
        {"an empty path within the count is left out",
         {{"num_recent_files", "2"}, {"recent_file_0", ""}, {"recent_file_1", "/b"}}, {"/b"}, {}},
        {"a repeated path is listed once",
         {{"num_recent_files", "3"}, {"recent_file_0", "/a"}, {"recent_file_1", "/a"}, {"recent_file_2", "/b"}},
         {"/a", "/b"},
         {}},
        {"paths beyond the count are not listed",
         {{"num_recent_files", "1"}, {"recent_file_0", "/a"}, {"recent_file_1", "/b"}}, {"/a"}, {}},
        {"a path with commas and blanks is one path",
         {{"num_recent_files_write", "1"}, {"recent_file_0_write", "/m/a, b,c.obj"}}, {}, {"/m/a, b,c.obj"}},
    };
    for (const auto& c : cases) {
        test::FreshStore store;
        for (const auto& [key, value] : c.keys) Store(key, value);
        const RecentFiles lists = LoadRecentLists();
        EXPECT_EQ(Entries(lists.reads), c.reads) << c.what;
        EXPECT_EQ(Entries(lists.writes), c.writes) << c.what;
    }
}

// Each change writes both lists, with all ten path keys; clearing keeps the stored paths.
TEST(RecentFiles, EveryChangeStoresBothListsWithAllTenPaths)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string a = WriteTriangle(dir, "a.obj");
    const std::string b = WriteTriangle(dir, "b.obj");
    auto storedList = [](RecentList which) {
        std::vector<std::string> paths;
        const int count = Stored(RecentCountKey(which)).value_or("missing").toInt();
        for (int i = 0; i < count; ++i) paths.push_back(Stored(RecentPathKey(which, i)).value_or("missing").toStdString());
        return paths;
    };
    auto allKeysStored = [] {
        for (RecentList which : {RecentList::Reads, RecentList::Writes}) {
            if (!Stored(RecentCountKey(which))) return false;
            for (int i = 0; i < kRecentFileSlots; ++i) {
                if (!Stored(RecentPathKey(which, i))) return false;
            }
        }
        return true;
    };

    Session s;
    EXPECT_FALSE(Stored("num_recent_files"));  // nothing changed yet
    ASSERT_TRUE(s.Load(a));
    EXPECT_EQ(storedList(RecentList::Reads), std::vector<std::string>({a}));
    EXPECT_EQ(storedList(RecentList::Writes), std::vector<std::string>());
    EXPECT_TRUE(allKeysStored());
    EXPECT_EQ(Stored("recent_file_1"), "");
    ASSERT_TRUE(s.Load(b));
    EXPECT_EQ(storedList(RecentList::Reads), std::vector<std::string>({b, a}));

    // A failed load adds nothing.
    ModalWatcher error;
    error.Arm();
    ASSERT_TRUE(s.Load((dir.Path() / "missing.obj").string()));
    ASSERT_TRUE(WaitUntil([&] { return error.seen; }));
    EXPECT_EQ(storedList(RecentList::Reads), std::vector<std::string>({b, a}));

    s.Trigger(command::ClearRecentReads);
    EXPECT_EQ(Stored("num_recent_files"), "0");
    EXPECT_EQ(Stored("recent_file_0"), QString::fromStdString(b));  // kept, not shown
    EXPECT_EQ(MenuTexts(s.window->RecentMenu(RecentList::Reads)), QStringList({"-", "&Clear List"}));
    ASSERT_TRUE(s.Load(a));
    EXPECT_EQ(storedList(RecentList::Reads), std::vector<std::string>({a}));
    EXPECT_EQ(Stored("recent_file_1"), QString::fromStdString(a));  // the old slot, written back as it was

    // The next start shows them (the settings were never written).
    s.window.reset();
    Session again;
    EXPECT_EQ(ShownEntries(again, RecentList::Reads), std::vector<std::string>({a}));
}

// The submenus open the File menu; each lists its entries, a separator and "&Clear List".
TEST(RecentMenus, EntriesStandAboveTheSeparatorAndClearList)
{
    test::FreshStore store;
    Store("num_recent_files", "2");
    Store("recent_file_0", "/models/Tom & Jerry.obj");
    Store("recent_file_1", "/models/teapot.3ds");
    Session s;
    QMenu* file = s.window->menuBar()->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->title(), "&File");
    const QStringList top = MenuTexts(file).mid(0, 4);
    EXPECT_EQ(top, QStringList({"&Recent Reads", "Recent Writes", "-", "&Open..."}));
    EXPECT_EQ(file->actions()[0]->menu(), s.window->RecentMenu(RecentList::Reads));
    EXPECT_EQ(file->actions()[1]->menu(), s.window->RecentMenu(RecentList::Writes));

    QMenu* reads = s.window->RecentMenu(RecentList::Reads);
    EXPECT_EQ(MenuTexts(reads), QStringList({"/models/Tom && Jerry.obj", "/models/teapot.3ds", "-", "&Clear List"}));
    EXPECT_EQ(reads->actions()[2]->objectName(), "menu_40000");
    EXPECT_EQ(reads->actions()[3], s.window->MenuAction(command::ClearRecentReads));
    EXPECT_EQ(reads->actions()[0]->toolTip(), "/models/Tom & Jerry.obj");
    // An empty list shows the separator and "&Clear List" only.
    QMenu* writes = s.window->RecentMenu(RecentList::Writes);
    EXPECT_EQ(MenuTexts(writes), QStringList({"-", "&Clear List"}));
    EXPECT_EQ(writes->actions()[0]->objectName(), "menu_45000");
    EXPECT_EQ(writes->actions()[1], s.window->MenuAction(command::ClearRecentWrites));
}

TEST(RecentMenus, TheEleventhOpenedFileDropsTheOldest)
{
    test::ScratchDir dir;
    std::vector<std::string> opened;
    test::FreshSession s;
    for (int i = 0; i < 11; ++i) {
        opened.push_back(WriteTriangle(dir, "model" + std::to_string(i) + ".obj"));
        ASSERT_TRUE(s.Load(opened.back()));
    }
    const std::vector<std::string> newestFirst(opened.rbegin(), opened.rbegin() + 10);
    EXPECT_EQ(ShownEntries(s, RecentList::Reads), newestFirst);
    EXPECT_EQ(Entries(s.window->Recent().reads), newestFirst);
    EXPECT_EQ(Stored("recent_file_9"), QString::fromStdString(opened[1]));
    EXPECT_EQ(RecentEntry(s, RecentList::Reads, 9)->text(), QString::fromStdString(opened[1]));
}

// An entry opens its file (a write entry too) and the file moves to the front of the reads; a
// file that is gone fails with the load's message and stays listed.
TEST(RecentMenus, EntryOpensItsFile)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string a = WriteTriangle(dir, "a.obj");
    const std::string b = WriteTriangle(dir, "b.obj");
    const std::string c = WriteTriangle(dir, "c.obj");
    const std::string gone = (dir.Path() / "gone.obj").string();
    Store("num_recent_files", "3");
    Store("recent_file_0", QString::fromStdString(a));
    Store("recent_file_1", QString::fromStdString(b));
    Store("recent_file_2", QString::fromStdString(c));
    Store("num_recent_files_write", "2");
    Store("recent_file_0_write", QString::fromStdString(gone));
    Store("recent_file_1_write", QString::fromStdString(b));
    Session s;

    RecentEntry(s, RecentList::Reads, 2)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !s.window->LoadRunning() && s.window->CurrentModel(); }));
    EXPECT_EQ(s.window->windowTitle(), "c.obj - Solvane Viewer");
    EXPECT_EQ(ShownEntries(s, RecentList::Reads), std::vector<std::string>({c, a, b}));

    RecentEntry(s, RecentList::Writes, 1)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !s.window->LoadRunning(); }));
    EXPECT_EQ(s.window->windowTitle(), "b.obj - Solvane Viewer");
    EXPECT_EQ(ShownEntries(s, RecentList::Reads), std::vector<std::string>({b, c, a}));
    EXPECT_EQ(ShownEntries(s, RecentList::Writes), std::vector<std::string>({gone, b}));

    ModalWatcher error;
    error.Arm();
    RecentEntry(s, RecentList::Writes, 0)->trigger();
    ASSERT_TRUE(WaitUntil([&] { return error.seen && !s.window->LoadRunning(); }));
    EXPECT_EQ(error.title, "Error Encountered...");
    EXPECT_EQ(s.window->windowTitle(), "b.obj - Solvane Viewer");  // the model shown stays
    EXPECT_EQ(ShownEntries(s, RecentList::Writes), std::vector<std::string>({gone, b}));
    EXPECT_EQ(ShownEntries(s, RecentList::Reads), std::vector<std::string>({b, c, a}));

    // Numbers past the list's end do nothing.
    s.window->DispatchCommand(command::RecentReadFirst + 5);
    s.window->DispatchCommand(command::RecentWriteFirst + 9);
    EXPECT_FALSE(s.window->LoadRunning());
}

TEST(RecentMenus, EntryChosenDuringALoadDoesNothing)
{
    test::FreshStore store;
    test::ScratchDir dir;
    const std::string small = WriteTriangle(dir, "small.obj");
    std::string text;
    for (int i = 0; i < 3000000; ++i) text += "v 1.5 2.5 3.5\n";
    const std::string big = dir.Write("big.obj", text);
    Store("num_recent_files", "1");
    Store("recent_file_0", QString::fromStdString(small));
    Store("num_recent_files_write", "1");
    Store("recent_file_0_write", QString::fromStdString(small));
    Session s;
    s.window->StartModelLoad(QString::fromStdString(big));
    ASSERT_TRUE(s.window->LoadRunning());
    RecentEntry(s, RecentList::Reads, 0)->trigger();
    RecentEntry(s, RecentList::Writes, 0)->trigger();
    EXPECT_EQ(s.window->CurrentPath().toStdString(), big);  // still the first load's
    s.window->Loading()->reject();  // cancel
    EXPECT_FALSE(s.window->LoadRunning());
    EXPECT_EQ(s.window->CurrentModel(), nullptr);
    EXPECT_EQ(ShownEntries(s, RecentList::Reads), std::vector<std::string>({small}));
    WaitUntil([] { return LoadJob::LiveWorkers() == 0; });
}

}  // namespace
}  // namespace solvane
