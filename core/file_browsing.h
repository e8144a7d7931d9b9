// What the file browser lists, without any window: the machine's places at the tree's root (the
// file system's root, the home folder and the mounted volumes), the entries of one folder (only
// supported model files, or every file), the icon of each, and the walk back to the folder the
// browser showed last.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace solvane {

// The browser's icons, in the order of its image list.
enum class BrowserIcon {
    File3d = 0,
    Studio3d = 1,
    AutoCad = 2,
    DirectX = 3,
    GeomView = 4,
    LightWave = 5,
    Quake = 6,
    Quake2 = 7,
    Solvane = 8,
    RegularFile = 9,
    TrueSpace = 10,
    Wavefront = 11,
    Removable = 12,
    HardDisk = 13,
    CdRom = 14,
    Network = 15,
    Folder = 16,
    FolderOpen = 17,
};
constexpr int kBrowserIconCount = 18;

// The icon of a file by its extension (the last one to three characters after a dot, either case):
// each format family with an icon of its own has it, any other file the regular-file icon.
BrowserIcon FileIconForName(std::string_view name);

// Names beginning with "." are never listed.
bool IsHiddenName(std::string_view name);
// Whether a file's name passes the filter: with supportedOnly, its extension (the characters after
// a dot 4, 3 or 2 characters before the end) must name a model format; otherwise every name does.
bool IsListedFile(std::string_view name, bool supportedOnly);

struct FolderEntry {
    std::string name;
    bool isFolder = false;
    BrowserIcon icon = BrowserIcon::RegularFile;
};
// The entries of a folder that the browser shows: sub-folders (symbolic links to folders too) and
// the regular files the filter passes, hidden names left out; folders first, then files, each by
// name without regard to case. A folder that cannot be read gives nothing; entries whose kind
// cannot be read, devices, pipes and sockets are left out.
std::vector<FolderEntry> ListFolderEntries(const std::string& folder, bool supportedOnly);

// ---- The places at the root of the tree ---------------------------------------------------------

// One line of /proc/self/mounts: the device, the mount point and the file system type, with the
// kernel's octal escapes (\040 for a blank) undone.
struct MountEntry {
    std::string device;
    std::string mountPoint;
    std::string type;
};
std::vector<MountEntry> ParseMounts(std::string_view mountsText);

// Whether a mount holds files a user keeps models in: not the kernel's own file systems (proc,
// sysfs, cgroup, tmpfs, overlay, squashfs, ...) and nothing mounted under /proc, /sys, /dev or
// /run (except /run/media, where desktops mount removable disks).
bool IsUserVolume(const MountEntry& mount);
// A volume's icon: CD-ROM for optical file systems, network for remote ones, removable when the
// disk says so, else the hard disk.
BrowserIcon VolumeIcon(const MountEntry& mount, bool removable);

struct BrowserPlace {
    std::string label;  // what the tree shows
    std::string path;   // the folder, ending with "/"
    BrowserIcon icon = BrowserIcon::Folder;
};
// The root places: "/" first, then the home folder (unless it is "/"), then each user volume once
// in mount-point order, skipping "/" and the home folder themselves. isRemovable tells whether the
// device of a mount is a removable disk; isFolder whether a mount point is a folder (bind mounts of
// single files are left out).
struct PlaceSources {
    std::string homeFolder;
    std::string mountsText;
    bool (*isRemovable)(const std::string& device) = nullptr;
    bool (*isFolder)(const std::string& path) = nullptr;
};
std::vector<BrowserPlace> BrowserPlaces(const PlaceSources& sources);
// The same for this machine: $HOME, /proc/self/mounts and /sys/class/block.
std::vector<BrowserPlace> MachinePlaces();

// ---- The remembered folder ----------------------------------------------------------------------

// The value of file_browser_last_dir that means "nothing to re-open".
inline constexpr const char* kNoRememberedFolder = "\\";

// How to re-open a remembered folder: the place whose path is the longest leading part of it, and
// the names of the folders below that place, outermost first. Nothing when the folder is the
// "nothing" value or lies in no place.
struct RestoreWalk {
    size_t place = 0;
    std::vector<std::string> components;
};
std::optional<RestoreWalk> PlanRestoreWalk(std::string_view rememberedFolder, const std::vector<BrowserPlace>& places);

}  // namespace solvane
