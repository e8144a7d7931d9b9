// File associations on a freedesktop.org desktop, against scratch XDG folders: the model types and
// the MIME package, the desktop entries and their Exec quoting, mimeapps.list editing that leaves
// other programs' lines alone, associating and taking back, the "Open with Solvane" entry, and the
// files installed into the user's folder when the program is not installed system-wide.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "app/xdg_associations.h"
#include "core/format_id.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

bool ToolInstalled(const std::string& tool)
{
    return test::RunCommand("command -v " + tool + " >/dev/null 2>&1", nullptr) == 0;
}

// The value of key in a desktop entry's text ("" when absent).
std::string EntryValue(const std::string& entry, const std::string& key)
{
    const size_t at = entry.find("\n" + key + "=");
    if (at == std::string::npos) return "";
    const size_t begin = at + key.size() + 2;
    return entry.substr(begin, entry.find('\n', begin) - begin);
}

std::vector<std::string> SplitList(const std::string& value)
{
    std::vector<std::string> items;
    size_t begin = 0;
    for (size_t semicolon; (semicolon = value.find(';', begin)) != std::string::npos; begin = semicolon + 1) {
        items.push_back(value.substr(begin, semicolon - begin));
    }
    return items;
}

// Scratch XDG folders, a data folder standing for /usr/share, and a program in a folder with a blank.
class XdgTest : public ::testing::Test {
protected:
    XdgTest()
    {
        folders.configHome = scratch.Path() / "config";
        folders.dataHome = scratch.Path() / "data";
        folders.dataDirs = {scratch.Path() / "system"};
        program.executable = (scratch.Path() / "my build" / "app" / "solvane").string();
        program.iconPng = "\x89PNG picture bytes";
    }

    fs::path MimeApps() const { return folders.configHome / "mimeapps.list"; }
    std::string MimeAppsText() const { return ReadFileBytes(MimeApps()); }
    void WriteMimeApps(const std::string& text) const
    {
        fs::create_directories(folders.configHome);
        std::ofstream(MimeApps(), std::ios::binary) << text;
    }
    // A desktop entry of another program, installed system-wide.
    void InstallForeignEntry(const std::string& id) const
    {
        fs::create_directories(folders.dataDirs[0] / "applications");
        std::ofstream(folders.dataDirs[0] / "applications" / id) << "[Desktop Entry]\nType=Application\nName=X\nExec=x\n";
    }
    fs::path UserEntry(const char* id) const { return folders.dataHome / "applications" / id; }
    fs::path UserPackage() const { return folders.dataHome / "mime" / "packages" / "solvane.xml"; }

    test::ScratchDir scratch;
    xdg::Folders folders;
    xdg::Program program;
    Settings settings;
};

// What another program's file holds before the wizard runs: a comment, a group of its own, its
// defaults and added associations, blanks around "=" and no ";" at the end.
constexpr char kForeignMimeApps[] =
    "# my desktop's choices\n"
    "[Default Applications]\n"
    "image/x-3ds=blender.desktop;\n"
    "model/obj = meshlab.desktop\n"
    "\n"
    "[Added Associations]\n"
    "model/obj=f3d.desktop;meshlab.desktop;\n"
    "\n"
    "[Removed Associations]\n"
    "image/x-3ds=gimp.desktop;\n";

TEST(XdgFileTypes, EveryExtensionTheReadersReadHasItsOwnType)
{
    // Every extension of one to three letters or digits that identification gives a model id.
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::set<std::string> read;
    for (const char a : alphabet) {
        for (const char b : " " + alphabet) {
            for (const char c : " " + alphabet) {
                if (b == ' ' && c != ' ') continue;
                std::string extension(1, a);
                if (b != ' ') extension += b;
                if (c != ' ') extension += c;
                if (FormatFromExtension(extension) != Format::Unknown) read.insert(extension);
            }
        }
    }
    ASSERT_EQ(read.size(), 21u);
    std::set<std::string> typed, mimeTypes;
    for (const xdg::ModelFileType& type : xdg::ModelFileTypes()) {
        typed.insert(std::string(type.extension));
        // One type per extension, so that the wizard's boxes associate independently.
        EXPECT_TRUE(mimeTypes.insert(std::string(type.mimeType)).second) << type.mimeType;
        EXPECT_EQ(xdg::FindFileType("." + std::string(type.extension)), &type);
    }
    EXPECT_EQ(typed, read);
    ASSERT_NE(xdg::FindFileType(".3DS"), nullptr);
    EXPECT_EQ(xdg::FindFileType(".3DS")->mimeType, "image/x-3ds");
    EXPECT_EQ(xdg::FindFileType("gif"), nullptr);
}

TEST(XdgFileTypes, MagicAgreesWithIdentification)
{
    // A file of the type's magic alone is identified as the extension's format (3DM files have no
    // magic in identification: their header line is the MIME type's only).
    for (const xdg::ModelFileType& type : xdg::ModelFileTypes()) {
        EXPECT_EQ(type.magic.empty(), type.sharedType) << type.extension;
        for (const xdg::Magic& magic : type.magic) {
            SCOPED_TRACE(std::string(type.extension) + " magic " + std::string(magic.bytes));
            std::vector<uint8_t> bytes(static_cast<size_t>(magic.offset), 0);
            bytes.insert(bytes.end(), magic.bytes.begin(), magic.bytes.end());
            const FormatId id = FormatFromMagicBytes(bytes.data(), bytes.size());
            if (type.extension == "3dm") {
                EXPECT_EQ(id, Format::Unknown);
            } else {
                EXPECT_EQ(id, FormatFromExtension(type.extension));
            }
        }
    }
}

TEST(XdgFileTypes, WizardListsAreTheTypesInTheirOrder)
{
    const auto associate = xdg::AssociationExtensions();
    const auto install = xdg::ShellEntryExtensions();
    const auto remove = xdg::ShellEntryRemovalExtensions();
    ASSERT_EQ(associate.size(), 19u);
    ASSERT_EQ(install.size(), 17u);
    ASSERT_EQ(remove.size(), 18u);
    EXPECT_STREQ(associate[7], ".l3d");
    EXPECT_STREQ(associate[18], ".x");
    EXPECT_STREQ(remove[17], ".x");
    for (const auto list : {associate, install, remove}) {
        for (const char* extension : list) EXPECT_NE(xdg::FindFileType(extension), nullptr) << extension;
    }
    for (size_t i = 0; i < install.size(); ++i) EXPECT_STREQ(install[i], remove[i]);
}

TEST(XdgMimePackage, HoldsAGlobForEveryExtensionAndOurTypesComments)
{
    const std::string package = xdg::MimePackage();
    for (const xdg::ModelFileType& type : xdg::ModelFileTypes()) {
        SCOPED_TRACE(std::string(type.extension));
        const size_t begin = package.find("<mime-type type=\"" + std::string(type.mimeType) + "\">");
        ASSERT_NE(begin, std::string::npos);
        const std::string element = package.substr(begin, package.find("</mime-type>", begin) - begin);
        EXPECT_TRUE(Has(element, "<glob pattern=\"*." + std::string(type.extension) + "\"/>"));
        // Types shared-mime-info defines keep their own comment.
        EXPECT_EQ(Has(element, "<comment>"), !type.sharedType);
        if (!type.sharedType) {
            EXPECT_TRUE(Has(element, "<comment>" + std::string(FormatDescriptionForExtension(type.extension))));
        }
    }
    // Bytes outside printable ASCII as escapes.
    EXPECT_TRUE(Has(package, "value=\"\\x03\\x03\"")) << package;
    EXPECT_TRUE(Has(package, "value=\"=\\x02\""));  // 0x3d is "="
}

TEST_F(XdgTest, MimePackageBuildsADatabaseThatKnowsEveryGlob)
{
    if (!ToolInstalled("update-mime-database")) GTEST_SKIP() << "update-mime-database is not installed";
    const fs::path mime = scratch.Path() / "mime";
    fs::create_directories(mime / "packages");
    std::ofstream(mime / "packages" / "solvane.xml") << xdg::MimePackage();
    std::string output;
    ASSERT_EQ(test::RunCommand("update-mime-database '" + mime.string() + "' 2>&1", &output), 0) << output;
    EXPECT_FALSE(Has(output, "rror")) << output;
    const std::string globs = ReadFileBytes(mime / "globs2");
    for (const xdg::ModelFileType& type : xdg::ModelFileTypes()) {
        EXPECT_TRUE(Has(globs, ":" + std::string(type.mimeType) + ":*." + std::string(type.extension) + "\n"))
            << type.extension;
        if (!type.sharedType) {
            EXPECT_TRUE(fs::exists(mime / (std::string(type.mimeType) + ".xml"))) << type.mimeType;
        }
    }
}

TEST(XdgExec, ArgumentsAreQuotedAsDesktopEntriesRequire)
{
    struct Case {
        const char* path;
        const char* written;
    };
    const Case cases[] = {
        {"/usr/bin/solvane", "/usr/bin/solvane"},
        {"/home/ann/my build/solvane", "\"/home/ann/my build/solvane\""},
        {"/opt/a$b/solvane", "\"/opt/a\\\\$b/solvane\""},        // \$ inside quotes, then \ escaped as \\ .
        {"/opt/\"q\"/solvane", "\"/opt/\\\\\"q\\\\\"/solvane\""},
        {"/opt/back\\slash", "\"/opt/back\\\\\\\\slash\""},
        {"/opt/100%/solvane", "/opt/100%%/solvane"},
        {"/opt/it's/solvane", "\"/opt/it's/solvane\""},
        {"/opt/tick`/solvane", "\"/opt/tick\\\\`/solvane\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(xdg::ExecArgument(c.path), c.written);
        // A desktop reads it back as the one path, the field code after it.
        EXPECT_EQ(xdg::ParseExec(xdg::ExecArgument(c.path) + " %f"), (std::vector<std::string>{c.path, "%f"}));
    }
    EXPECT_EQ(xdg::ParseExec("a\\sb \"c d\"  e"), (std::vector<std::string>{"a", "b", "c d", "e"}));
}

TEST(XdgDesktopEntries, NameEveryTypeAndRunTheProgram)
{
    const std::string path = "/home/ann/my build/solvane";
    const std::string viewer = xdg::ViewerDesktopEntry(path, "solvane", false);
    const std::string openWith = xdg::OpenWithDesktopEntry(path, "/home/ann/.local/share/solvane/solvane.png");
    const std::string thumbnailer = xdg::ThumbnailerEntry();
    std::vector<std::string> all, shell;
    for (const xdg::ModelFileType& type : xdg::ModelFileTypes()) all.emplace_back(type.mimeType);
    for (const char* extension : xdg::ShellEntryExtensions()) shell.emplace_back(xdg::FindFileType(extension)->mimeType);

    EXPECT_EQ(EntryValue(viewer, "Name"), "Solvane Viewer");
    EXPECT_EQ(SplitList(EntryValue(viewer, "MimeType")), all);
    EXPECT_EQ(xdg::ParseExec(EntryValue(viewer, "Exec")), (std::vector<std::string>{path, "%f"}));
    EXPECT_FALSE(Has(viewer, "X-Solvane-Installed-By"));
    EXPECT_TRUE(Has(xdg::ViewerDesktopEntry(path, "solvane", true), "\nX-Solvane-Installed-By="));

    EXPECT_EQ(EntryValue(openWith, "Name"), "Open with Solvane");
    EXPECT_EQ(EntryValue(openWith, "NoDisplay"), "true");
    EXPECT_EQ(SplitList(EntryValue(openWith, "MimeType")), shell);
    EXPECT_EQ(xdg::ParseExec(EntryValue(openWith, "Exec")), (std::vector<std::string>{path, "%f"}));

    EXPECT_TRUE(thumbnailer.starts_with("[Thumbnailer Entry]\n"));
    EXPECT_EQ(EntryValue(thumbnailer, "Exec"), "solvane-cli thumbnail -s %s %i %o");
    EXPECT_EQ(SplitList(EntryValue(thumbnailer, "MimeType")), all);

    if (!ToolInstalled("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    test::ScratchDir dir;
    for (const auto& [name, text] : {std::pair{"solvane.desktop", viewer}, std::pair{"solvane-open-with.desktop", openWith}}) {
        const std::string file = dir.Write(name, text);
        std::string output;
        EXPECT_EQ(test::RunCommand("desktop-file-validate '" + file + "' 2>&1", &output), 0) << output;
        EXPECT_EQ(output, "") << name;
    }
}

TEST(XdgMimeAppsList, EditsOnlyTheKeysItIsGiven)
{
    test::ScratchDir dir;
    const fs::path path = dir.Path() / "mimeapps.list";
    std::ofstream(path) << kForeignMimeApps;
    xdg::MimeAppsList list = xdg::MimeAppsList::Read(path);
    EXPECT_EQ(list.Get("Default Applications", "model/obj"), (std::vector<std::string>{"meshlab.desktop"}));
    EXPECT_EQ(list.Get("Added Associations", "model/obj"), (std::vector<std::string>{"f3d.desktop", "meshlab.desktop"}));
    EXPECT_TRUE(list.Get("Default Applications", "model/x-ply").empty());
    EXPECT_TRUE(list.Get("Removed Associations", "model/obj").empty());

    list.Set("Default Applications", "model/x-ply", {"solvane.desktop"});       // new key: after the group's last
    list.Set("Added Associations", "image/x-3ds", {"a.desktop", "b.desktop"});  // entry, before the blank line
    list.Set("Removed Associations", "image/x-3ds", {});                        // emptied: the line goes
    list.Set("Unknown Group", "model/obj", {});                                 // nothing to remove: nothing added
    list.Set("New Group", "k", {"v.desktop"});
    ASSERT_TRUE(list.Write(path));
    EXPECT_EQ(ReadFileBytes(path), "# my desktop's choices\n"
                                   "[Default Applications]\n"
                                   "image/x-3ds=blender.desktop;\n"
                                   "model/obj = meshlab.desktop\n"
                                   "model/x-ply=solvane.desktop;\n"
                                   "\n"
                                   "[Added Associations]\n"
                                   "model/obj=f3d.desktop;meshlab.desktop;\n"
                                   "image/x-3ds=a.desktop;b.desktop;\n"
                                   "\n"
                                   "[Removed Associations]\n"
                                   "\n"
                                   "[New Group]\n"
                                   "k=v.desktop;\n");
}

TEST(XdgMimeAppsList, WritingFollowsALinkToTheRealFile)
{
    test::ScratchDir dir;
    const fs::path real = dir.Path() / "dotfiles" / "mimeapps.list";
    fs::create_directories(real.parent_path());
    std::ofstream(real) << "[Default Applications]\n";
    fs::create_symlink(real, dir.Path() / "mimeapps.list");
    xdg::MimeAppsList list = xdg::MimeAppsList::Read(dir.Path() / "mimeapps.list");
    list.Set("Default Applications", "model/obj", {"solvane.desktop"});
    ASSERT_TRUE(list.Write(dir.Path() / "mimeapps.list"));
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "mimeapps.list"));
    EXPECT_EQ(ReadFileBytes(real), "[Default Applications]\nmodel/obj=solvane.desktop;\n");
}

TEST_F(XdgTest, AssociatingMakesTheProgramTheDefaultAndInstallsItForTheUser)
{
    EXPECT_FALSE(xdg::IsAssociated(folders, ".3ds"));
    xdg::Associate(folders, program, ".3ds");
    EXPECT_TRUE(xdg::IsAssociated(folders, ".3ds"));
    EXPECT_TRUE(xdg::IsAssociated(folders, ".3DS"));
    EXPECT_FALSE(xdg::IsAssociated(folders, ".obj"));
    EXPECT_EQ(MimeAppsText(), "[Default Applications]\nimage/x-3ds=solvane.desktop;\n");

    // Not installed system-wide: the desktop entry, the MIME package and the icon in the user's folder.
    const std::string entry = ReadFileBytes(UserEntry("solvane.desktop"));
    EXPECT_EQ(xdg::ParseExec(EntryValue(entry, "Exec")), (std::vector<std::string>{program.executable, "%f"}));
    const fs::path icon = folders.dataHome / "solvane" / "solvane.png";
    EXPECT_EQ(EntryValue(entry, "Icon"), icon.string());
    EXPECT_EQ(ReadFileBytes(icon), program.iconPng);
    EXPECT_EQ(ReadFileBytes(UserPackage()), xdg::MimePackage());

    // Once more changes nothing; taking it back leaves the type without a default.
    xdg::Associate(folders, program, ".3ds");
    EXPECT_EQ(MimeAppsText(), "[Default Applications]\nimage/x-3ds=solvane.desktop;\n");
    xdg::Unassociate(folders, ".3ds");
    EXPECT_FALSE(xdg::IsAssociated(folders, ".3ds"));
    EXPECT_EQ(MimeAppsText(), "[Default Applications]\n");
}

TEST_F(XdgTest, TakingBackRestoresOtherProgramsEntriesExactly)
{
    InstallForeignEntry("blender.desktop");
    InstallForeignEntry("meshlab.desktop");
    WriteMimeApps(kForeignMimeApps);
    xdg::Associate(folders, program, ".3ds");
    xdg::Associate(folders, program, ".ply");
    EXPECT_EQ(xdg::MimeAppsList::Read(MimeApps()).Get(xdg::kDefaultApplications, "image/x-3ds"),
              (std::vector<std::string>{"solvane.desktop", "blender.desktop"}));
    EXPECT_TRUE(xdg::IsAssociated(folders, ".3ds"));
    EXPECT_TRUE(xdg::IsAssociated(folders, ".ply"));
    EXPECT_TRUE(Has(MimeAppsText(), "# my desktop's choices\n"));
    EXPECT_TRUE(Has(MimeAppsText(), "[Removed Associations]\nimage/x-3ds=gimp.desktop;\n"));

    xdg::Unassociate(folders, ".3ds");
    xdg::Unassociate(folders, ".ply");
    xdg::Unassociate(folders, ".obj");  // never ours: meshlab stays
    EXPECT_EQ(MimeAppsText(), kForeignMimeApps);
    EXPECT_FALSE(xdg::IsAssociated(folders, ".3ds"));
}

TEST_F(XdgTest, TheFirstInstalledDefaultDecides)
{
    InstallForeignEntry("blender.desktop");
    xdg::Associate(folders, program, ".3ds");  // writes our entry into the user's folder
    WriteMimeApps("[Default Applications]\nimage/x-3ds=blender.desktop;solvane.desktop;\n"
                  "model/obj=gone.desktop;solvane.desktop;\n");
    EXPECT_FALSE(xdg::IsAssociated(folders, ".3ds"));  // another program comes first
    EXPECT_TRUE(xdg::IsAssociated(folders, ".obj"));   // the first is not installed: ours is used
    xdg::Associate(folders, program, ".3ds");
    EXPECT_TRUE(Has(MimeAppsText(), "image/x-3ds=solvane.desktop;blender.desktop;\n"));
}

TEST_F(XdgTest, ShellEntriesAreAddedAssociationsOfTheSeventeenTypes)
{
    WriteMimeApps(kForeignMimeApps);
    settings.shell_extention = 0;
    xdg::InstallShellEntries(folders, program, settings);
    EXPECT_EQ(settings.shell_extention, 1);
    for (const char* extension : xdg::ShellEntryExtensions()) EXPECT_TRUE(xdg::HasShellEntry(folders, extension)) << extension;
    EXPECT_FALSE(xdg::HasShellEntry(folders, ".x"));
    EXPECT_FALSE(xdg::HasShellEntry(folders, ".l3d"));
    // Offered beside what was there; the defaults are untouched.
    const xdg::MimeAppsList list = xdg::MimeAppsList::Read(MimeApps());
    EXPECT_EQ(list.Get(xdg::kAddedAssociations, "model/obj"),
              (std::vector<std::string>{"f3d.desktop", "meshlab.desktop", "solvane-open-with.desktop"}));
    EXPECT_EQ(list.Get(xdg::kDefaultApplications, "image/x-3ds"), (std::vector<std::string>{"blender.desktop"}));
    const std::string entry = ReadFileBytes(UserEntry("solvane-open-with.desktop"));
    EXPECT_EQ(EntryValue(entry, "Name"), "Open with Solvane");
    EXPECT_EQ(EntryValue(entry, "NoDisplay"), "true");
    EXPECT_EQ(xdg::ParseExec(EntryValue(entry, "Exec")), (std::vector<std::string>{program.executable, "%f"}));
    EXPECT_TRUE(fs::exists(UserPackage()));

    // Removal takes it from the 18 types (an .x entry included) and leaves the rest as it was.
    xdg::MimeAppsList withX = xdg::MimeAppsList::Read(MimeApps());
    withX.Set(xdg::kAddedAssociations, "model/x-directx", {"solvane-open-with.desktop"});
    withX.Write(MimeApps());
    xdg::RemoveShellEntries(folders, settings);
    EXPECT_EQ(settings.shell_extention, 0);
    for (const char* extension : xdg::ShellEntryRemovalExtensions()) EXPECT_FALSE(xdg::HasShellEntry(folders, extension));
    EXPECT_FALSE(fs::exists(UserEntry("solvane-open-with.desktop")));
    EXPECT_EQ(MimeAppsText(), kForeignMimeApps);
}

TEST_F(XdgTest, FinishingTakesAwayUserFilesNothingUses)
{
    xdg::Associate(folders, program, ".obj");
    xdg::InstallShellEntries(folders, program, settings);
    xdg::FinishChanges(folders);
    EXPECT_TRUE(fs::exists(UserEntry("solvane.desktop")));
    EXPECT_TRUE(fs::exists(UserEntry("solvane-open-with.desktop")));
    EXPECT_TRUE(fs::exists(UserPackage()));

    xdg::RemoveShellEntries(folders, settings);
    xdg::FinishChanges(folders);
    EXPECT_TRUE(fs::exists(UserEntry("solvane.desktop")));  // .obj still uses it
    EXPECT_TRUE(fs::exists(UserPackage()));

    xdg::Unassociate(folders, ".obj");
    xdg::FinishChanges(folders);
    EXPECT_FALSE(fs::exists(UserEntry("solvane.desktop")));
    EXPECT_FALSE(fs::exists(UserPackage()));
    EXPECT_FALSE(fs::exists(folders.dataHome / "solvane"));
}

TEST_F(XdgTest, AUsersOwnEntryOfTheSameNameIsLeftAlone)
{
    fs::create_directories(folders.dataHome / "applications");
    const std::string own = "[Desktop Entry]\nType=Application\nName=My Solvane\nExec=/home/me/solvane %f\n";
    std::ofstream(UserEntry("solvane.desktop")) << own;
    xdg::Associate(folders, program, ".obj");
    EXPECT_TRUE(xdg::IsAssociated(folders, ".obj"));
    xdg::Unassociate(folders, ".obj");
    xdg::FinishChanges(folders);
    EXPECT_EQ(ReadFileBytes(UserEntry("solvane.desktop")), own);
}

TEST_F(XdgTest, AProgramInstalledSystemWideWritesOnlyTheAssociation)
{
    const fs::path prefix = scratch.Path() / "usr";
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "applications");
    std::ofstream(prefix / "share" / "applications" / "solvane.desktop") << xdg::ViewerDesktopEntry("/usr/bin/solvane", "solvane", false);
    program.executable = (prefix / "bin" / "solvane").string();
    EXPECT_FALSE(xdg::InstalledSystemWide(folders, program.executable));  // its share folder is not searched
    folders.dataDirs.push_back(prefix / "share");
    EXPECT_TRUE(xdg::InstalledSystemWide(folders, program.executable));

    // An entry an earlier run from a build tree left in the user's folder is taken away.
    fs::create_directories(folders.dataHome / "applications");
    std::ofstream(UserEntry("solvane.desktop")) << xdg::ViewerDesktopEntry("/old/build/solvane", "solvane", true);
    xdg::Associate(folders, program, ".ply");
    EXPECT_TRUE(xdg::IsAssociated(folders, ".ply"));
    EXPECT_FALSE(fs::exists(UserEntry("solvane.desktop")));
    EXPECT_FALSE(fs::exists(UserPackage()));
    xdg::InstallShellEntries(folders, program, settings);
    EXPECT_EQ(EntryValue(ReadFileBytes(UserEntry("solvane-open-with.desktop")), "Icon"), "solvane");
    EXPECT_FALSE(fs::exists(UserPackage()));
}

TEST_F(XdgTest, ApplyingChoicesSetsEachExtensionAsWanted)
{
    xdg::Associate(folders, program, ".3ds");
    xdg::AssociationChoices choices;
    for (const char* extension : xdg::AssociationExtensions()) {
        choices.associate.push_back(std::string(extension) == ".obj" || std::string(extension) == ".l3d");
    }
    choices.shellEntries = false;
    xdg::ApplyChoices(folders, program, choices, settings);
    for (const char* extension : xdg::AssociationExtensions()) {
        const bool wanted = std::string(extension) == ".obj" || std::string(extension) == ".l3d";
        EXPECT_EQ(xdg::IsAssociated(folders, extension), wanted) << extension;
    }
    EXPECT_EQ(settings.shell_extention, 0);
    EXPECT_FALSE(fs::exists(UserEntry("solvane-open-with.desktop")));

    choices.associate.assign(choices.associate.size(), false);
    choices.shellEntries = true;
    xdg::ApplyChoices(folders, program, choices, settings);
    for (const char* extension : xdg::AssociationExtensions()) EXPECT_FALSE(xdg::IsAssociated(folders, extension));
    EXPECT_EQ(settings.shell_extention, 1);
    EXPECT_TRUE(xdg::HasShellEntry(folders, ".obj"));
    EXPECT_FALSE(fs::exists(UserEntry("solvane.desktop")));
    EXPECT_TRUE(fs::exists(UserPackage()));  // the entry's types need it
    if (ToolInstalled("update-desktop-database")) {
        EXPECT_TRUE(Has(ReadFileBytes(folders.dataHome / "applications" / "mimeinfo.cache"), "solvane-open-with.desktop"));
    }
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name)) old_ = old;
        had_ = std::getenv(name) != nullptr;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

TEST(XdgFolders, FromTheEnvironmentWithTheSpecificationsDefaults)
{
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv config("XDG_CONFIG_HOME", nullptr), data("XDG_DATA_HOME", ""), dirs("XDG_DATA_DIRS", nullptr);
        const xdg::Folders folders = xdg::UserFolders();
        EXPECT_EQ(folders.configHome, "/home/ann/.config");
        EXPECT_EQ(folders.dataHome, "/home/ann/.local/share");
        EXPECT_EQ(folders.dataDirs, (std::vector<fs::path>{"/usr/local/share", "/usr/share"}));
    }
    ScopedEnv config("XDG_CONFIG_HOME", "relative/config"), data("XDG_DATA_HOME", "/data home");
    ScopedEnv dirs("XDG_DATA_DIRS", "/opt/share::relative:/usr/share");
    const xdg::Folders folders = xdg::UserFolders();
    EXPECT_EQ(folders.configHome, "/home/ann/.config");  // relative: ignored
    EXPECT_EQ(folders.dataHome, "/data home");
    EXPECT_EQ(folders.dataDirs, (std::vector<fs::path>{"/opt/share", "/usr/share"}));
}

}  // namespace
}  // namespace solvane
