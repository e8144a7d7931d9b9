// What the file browser lists, on a scratch folder tree: the supported-files filter and the
// all-files view, icons by extension, hidden names, the places at the root from a mount table, and
// the walk back to a remembered folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "core/file_browsing.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;

TEST(FileBrowsing, IconsByExtension)
{
    const std::pair<const char*, BrowserIcon> cases[] = {
        {"a.off", BrowserIcon::GeomView},   {"a.COB", BrowserIcon::TrueSpace}, {"a.scn", BrowserIcon::TrueSpace},
        {"a.3d2", BrowserIcon::File3d},     {"a.vtk", BrowserIcon::File3d},    {"a.nff", BrowserIcon::File3d},
        {"a.3ds", BrowserIcon::Studio3d},   {"a.mdl", BrowserIcon::Quake},     {"a.md2", BrowserIcon::Quake2},
        {"a.dxf", BrowserIcon::AutoCad},    {"a.lwo", BrowserIcon::LightWave}, {"a.Obj", BrowserIcon::Wavefront},
        {"a.svo", BrowserIcon::Solvane},    {"a.svs", BrowserIcon::Solvane},   {"ship.X", BrowserIcon::DirectX},
        // Known formats without an icon of their own, and everything else.
        {"a.ply", BrowserIcon::RegularFile}, {"a.md3", BrowserIcon::RegularFile}, {"a.3dm", BrowserIcon::RegularFile},
        {"notes.txt", BrowserIcon::RegularFile}, {"Makefile", BrowserIcon::RegularFile},
        {"a.xx", BrowserIcon::RegularFile},
    };
    for (const auto& [name, icon] : cases) EXPECT_EQ(FileIconForName(name), icon) << name;
}

TEST(FileBrowsing, SupportedFilesFilter)
{
    const std::tuple<const char*, bool, bool> cases[] = {
        // name, listed with supported files only, listed with all files
        {"teapot.OBJ", true, true},  {"cloud.ply", true, true},    {"ship.x", true, true},
        {"scene.prj", true, true},   {"notes.txt", false, true},   {"Makefile", false, true},
        // An extension of four or more characters is never a supported one.
        {"photo.jpeg", false, true}, {"model.objx", false, true},  {"a.3dsmax", false, true},
        {".hidden.obj", false, false}, {".profile", false, false},
    };
    for (const auto& [name, supported, all] : cases) {
        EXPECT_EQ(IsListedFile(name, true), supported) << name;
        EXPECT_EQ(IsListedFile(name, false), all) << name;
    }
}

// A folder tree: folders first, then files, by name without regard to case; hidden names, pipes
// and broken links are left out; a link to a folder is a folder.
TEST(FileBrowsing, ListsAFolderOfTheScratchTree)
{
    test::ScratchDir dir;
    const fs::path root = dir.Path();
    for (const char* folder : {"b", "A", ".git", "models/inner"}) fs::create_directories(root / folder);
    for (const char* file : {"z.obj", "Y.3ds", "notes.txt", ".hidden.obj", "photo.jpeg", "models/cube.off"}) {
        dir.Write(file, "x");
    }
    fs::create_directory_symlink(root / "models", root / "linked");
    fs::create_symlink(root / "missing.obj", root / "broken.obj");
    ASSERT_EQ(mkfifo((root / "pipe.obj").c_str(), 0600), 0);

    const auto names = [](const std::vector<FolderEntry>& entries) {
        std::vector<std::string> out;
        for (const FolderEntry& e : entries) out.push_back((e.isFolder ? "d:" : "f:") + e.name);
        return out;
    };
    EXPECT_EQ(names(ListFolderEntries(root.string(), true)),
              (std::vector<std::string>{"d:A", "d:b", "d:linked", "d:models", "f:Y.3ds", "f:z.obj"}));
    EXPECT_EQ(names(ListFolderEntries(root.string(), false)),
              (std::vector<std::string>{"d:A", "d:b", "d:linked", "d:models", "f:notes.txt", "f:photo.jpeg",
                                        "f:Y.3ds", "f:z.obj"}));
    const std::vector<FolderEntry> all = ListFolderEntries(root.string(), false);
    EXPECT_EQ(all[0].icon, BrowserIcon::Folder);
    EXPECT_EQ(all[4].icon, BrowserIcon::RegularFile);
    EXPECT_EQ(all[6].icon, BrowserIcon::Studio3d);
    // A folder holding only a text document has nothing to show under "Supported Files".
    EXPECT_TRUE(ListFolderEntries((root / "b").string(), true).empty());
    EXPECT_EQ(names(ListFolderEntries((root / "models").string(), true)),
              (std::vector<std::string>{"d:inner", "f:cube.off"}));
    EXPECT_TRUE(ListFolderEntries((root / "no-such-folder").string(), false).empty());
}

constexpr const char* kMounts =
    "overlay / overlay rw,relatime 0 0\n"
    "proc /proc proc rw 0 0\n"
    "tmpfs /dev tmpfs rw 0 0\n"
    "sysfs /sys sysfs ro 0 0\n"
    "/dev/sda1 /etc/hosts ext4 rw 0 0\n"
    "/dev/sda2 /home ext4 rw 0 0\n"
    "/dev/sda3 /srv/data ext4 rw 0 0\n"
    "tmpfs /run tmpfs rw 0 0\n"
    "/dev/sdb1 /run/media/ann/USB\\040Stick vfat rw 0 0\n"
    "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
    "server:/export /mnt/share nfs4 rw 0 0\n"
    "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
    "/dev/sda4 /home/ann ext4 rw 0 0\n"
    "/dev/sda3 /srv/data ext4 rw 0 0\n";

TEST(FileBrowsing, MountTableFieldsAreUnescaped)
{
    const std::vector<MountEntry> mounts = ParseMounts(kMounts);
    ASSERT_EQ(mounts.size(), 14u);
    EXPECT_EQ(mounts[8].mountPoint, "/run/media/ann/USB Stick");
    EXPECT_EQ(mounts[8].device, "/dev/sdb1");
    EXPECT_EQ(mounts[8].type, "vfat");
    EXPECT_EQ(ParseMounts("a /x\\134y\\011z t 0 0\nbroken-line\n")[0].mountPoint, "/x\\y\tz");
}

// The root, the home folder, then each volume once in mount-point order: no kernel file systems,
// nothing under /run but /run/media, no file bind mounts, no duplicates of the root or the home.
TEST(FileBrowsing, PlacesFromTheMountTable)
{
    PlaceSources sources;
    sources.homeFolder = "/home/ann";
    sources.mountsText = kMounts;
    sources.isRemovable = [](const std::string& device) { return device == "/dev/sdb1"; };
    sources.isFolder = [](const std::string& path) { return path != "/etc/hosts"; };
    const std::vector<BrowserPlace> places = BrowserPlaces(sources);
    std::vector<std::string> paths;
    for (const BrowserPlace& place : places) paths.push_back(place.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/", "/home/ann/", "/home/", "/media/cdrom/", "/mnt/share/",
                                               "/run/media/ann/USB Stick/", "/srv/data/"}));
    EXPECT_EQ(places[0].label, "/");
    EXPECT_EQ(places[0].icon, BrowserIcon::HardDisk);
    EXPECT_EQ(places[1].label, "Home (/home/ann)");
    EXPECT_EQ(places[1].icon, BrowserIcon::Folder);
    EXPECT_EQ(places[2].icon, BrowserIcon::HardDisk);
    EXPECT_EQ(places[3].icon, BrowserIcon::CdRom);
    EXPECT_EQ(places[4].icon, BrowserIcon::Network);
    EXPECT_EQ(places[5].icon, BrowserIcon::Removable);
    EXPECT_EQ(places[5].label, "/run/media/ann/USB Stick");

    sources.homeFolder = "/";
    EXPECT_EQ(BrowserPlaces(sources)[1].path, "/home/");
}

TEST(FileBrowsing, ThisMachineHasAtLeastItsRoot)
{
    const std::vector<BrowserPlace> places = MachinePlaces();
    ASSERT_FALSE(places.empty());
    EXPECT_EQ(places[0].path, "/");
    for (const BrowserPlace& place : places) EXPECT_TRUE(place.path.ends_with('/')) << place.path;
}

TEST(FileBrowsing, RestoreWalkStartsAtTheLongestPlace)
{
    const std::vector<BrowserPlace> places = {
        {"/", "/", BrowserIcon::HardDisk}, {"Home", "/home/ann/", BrowserIcon::Folder},
        {"/home/ann/usb", "/home/ann/usb/", BrowserIcon::Removable}};
    const auto walk = [&](const char* folder) { return PlanRestoreWalk(folder, places); };
    ASSERT_TRUE(walk("/home/ann/models/cars/"));
    EXPECT_EQ(walk("/home/ann/models/cars/")->place, 1u);
    EXPECT_EQ(walk("/home/ann/models/cars/")->components, (std::vector<std::string>{"models", "cars"}));
    EXPECT_EQ(walk("/home/ann/usb/x/")->place, 2u);
    EXPECT_EQ(walk("/home/annex/")->place, 0u);
    EXPECT_EQ(walk("/home/annex/")->components, (std::vector<std::string>{"home", "annex"}));
    // Without the final separator too; the place itself has nothing below it.
    EXPECT_EQ(walk("/srv/data")->components, (std::vector<std::string>{"srv", "data"}));
    EXPECT_TRUE(walk("/home/ann/")->components.empty());
    EXPECT_FALSE(walk(kNoRememberedFolder));
    EXPECT_FALSE(walk(""));
    EXPECT_FALSE(PlanRestoreWalk("relative/folder/", places));
}

}  // namespace
}  // namespace solvane
