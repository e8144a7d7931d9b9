#include "core/file_browsing.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "core/format_id.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

struct IconOfExtension {
    const char* extension;
    BrowserIcon icon;
};
constexpr IconOfExtension kFileIcons[] = {
    {"off", BrowserIcon::GeomView},  {"cob", BrowserIcon::TrueSpace}, {"scn", BrowserIcon::TrueSpace},
    {"3d2", BrowserIcon::File3d},    {"vtk", BrowserIcon::File3d},    {"nff", BrowserIcon::File3d},
    {"3ds", BrowserIcon::Studio3d},  {"mdl", BrowserIcon::Quake},     {"md2", BrowserIcon::Quake2},
    {"dxf", BrowserIcon::AutoCad},   {"lwo", BrowserIcon::LightWave}, {"obj", BrowserIcon::Wavefront},
    {"svo", BrowserIcon::Solvane},   {"svs", BrowserIcon::Solvane},   {"x", BrowserIcon::DirectX},
};

// The kernel's own file systems and the ones that hold no user files.
constexpr const char* kPseudoFileSystems[] = {
    "proc",       "sysfs",    "devtmpfs",  "devpts",     "tmpfs",     "ramfs",      "cgroup",   "cgroup2",
    "securityfs", "debugfs",  "tracefs",   "configfs",   "fusectl",   "mqueue",     "hugetlbfs", "pstore",
    "bpf",        "autofs",   "binfmt_misc", "nsfs",     "rpc_pipefs", "efivarfs",  "overlay",  "squashfs",
    "selinuxfs",  "nfsd",     "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "none",
};
constexpr const char* kRemoteFileSystems[] = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p", "davfs", "fuse.davfs2",
    "afs", "ceph", "glusterfs", "fuse.rclone",
};
constexpr const char* kOpticalFileSystems[] = {"iso9660", "udf"};

template <size_t N>
bool OneOf(std::string_view value, const char* const (&list)[N])
{
    return std::any_of(std::begin(list), std::end(list), [value](const char* item) { return value == item; });
}

bool IsUnder(std::string_view path, std::string_view folder)
{
    return path == folder || (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

// The kernel writes blanks, tabs, line feeds and backslashes in mount fields as \ooo.
std::string Unescape(std::string_view field)
{
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::string WithSlash(std::string path)
{
    if (path.empty() || path.back() != '/') path.push_back('/');
    return path;
}

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool RemovableBlockDevice(const std::string& device)
{
    // /dev/sdb1 -> /sys/class/block/sdb1, a link into the disk's folder: a partition's own folder
    // has no "removable" file, its disk's has.
    if (!device.starts_with("/dev/")) return false;
    std::error_code error;
    const fs::path real = fs::canonical(device, error);
    const std::string name = (error ? fs::path(device) : real).filename().string();
    const fs::path block = fs::canonical(fs::path("/sys/class/block") / name, error);
    if (error) return false;
    for (const fs::path& folder : {block, block.parent_path()}) {
        std::ifstream flag(folder / "removable");
        char value = 0;
        if (flag >> value) return value == '1';
    }
    return false;
}

bool FolderExists(const std::string& path)
{
    std::error_code error;
    return fs::is_directory(path, error);
}

}  // namespace

BrowserIcon FileIconForName(std::string_view name)
{
    const std::string_view extension = PathExtension(name);
    if (extension.empty()) return BrowserIcon::RegularFile;
    for (const IconOfExtension& entry : kFileIcons) {
        if (EqualNoCase(extension, entry.extension)) return entry.icon;
    }
    return BrowserIcon::RegularFile;
}

bool IsHiddenName(std::string_view name)
{
    return name.starts_with('.');
}

bool IsListedFile(std::string_view name, bool supportedOnly)
{
    if (IsHiddenName(name)) return false;
    if (!supportedOnly) return true;
    const std::string_view extension = PathExtension(name);
    return !extension.empty() && std::string_view(FormatDescriptionForExtension(extension)) != "Unknown format";
}

std::vector<FolderEntry> ListFolderEntries(const std::string& folder, bool supportedOnly)
{
    std::vector<FolderEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsHiddenName(name)) continue;
        std::error_code statusError;
        const fs::file_status status = it->status(statusError);  // follows symbolic links
        if (statusError) continue;
        if (fs::is_directory(status)) {
            entries.push_back({name, true, BrowserIcon::Folder});
        } else if (fs::is_regular_file(status) && IsListedFile(name, supportedOnly)) {
            entries.push_back({name, false, FileIconForName(name)});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
        if (a.isFolder != b.isFolder) return a.isFolder;
        const std::string la = Lower(a.name), lb = Lower(b.name);
        return la != lb ? la < lb : a.name < b.name;
    });
    return entries;
}

std::vector<MountEntry> ParseMounts(std::string_view mountsText)
{
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(mountsText)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint, type;
        if (!(fields >> device >> mountPoint >> type)) continue;
        mounts.push_back({Unescape(device), Unescape(mountPoint), type});
    }
    return mounts;
}

bool IsUserVolume(const MountEntry& mount)
{
    if (OneOf(mount.type, kPseudoFileSystems)) return false;
    const std::string_view point = mount.mountPoint;
    if (!point.starts_with('/')) return false;
    for (const char* system : {"/proc", "/sys", "/dev"}) {
        if (IsUnder(point, system)) return false;
    }
    if (IsUnder(point, "/run") && !IsUnder(point, "/run/media")) return false;
    // Disks, and the remote and optical file systems whose device is not a /dev path.
    return mount.device.starts_with("/dev/") || OneOf(mount.type, kRemoteFileSystems) ||
           OneOf(mount.type, kOpticalFileSystems);
}

BrowserIcon VolumeIcon(const MountEntry& mount, bool removable)
{
    if (OneOf(mount.type, kOpticalFileSystems)) return BrowserIcon::CdRom;
    if (OneOf(mount.type, kRemoteFileSystems)) return BrowserIcon::Network;
    return removable ? BrowserIcon::Removable : BrowserIcon::HardDisk;
}

std::vector<BrowserPlace> BrowserPlaces(const PlaceSources& sources)
{
    std::vector<BrowserPlace> places;
    places.push_back({"/", "/", BrowserIcon::HardDisk});
    const std::string home = sources.homeFolder.empty() ? std::string() : WithSlash(sources.homeFolder);
    if (!home.empty() && home != "/") places.push_back({"Home (" + sources.homeFolder + ")", home, BrowserIcon::Folder});

    // A mount point mounted over twice is listed once, as its last mount.
    std::vector<MountEntry> volumes;
    for (const MountEntry& mount : ParseMounts(sources.mountsText)) {
        if (!IsUserVolume(mount)) continue;
        const std::string path = WithSlash(mount.mountPoint);
        if (path == "/" || path == home) continue;
        if (sources.isFolder && !sources.isFolder(mount.mountPoint)) continue;
        std::erase_if(volumes, [&](const MountEntry& other) { return other.mountPoint == mount.mountPoint; });
        volumes.push_back(mount);
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const MountEntry& a, const MountEntry& b) { return a.mountPoint < b.mountPoint; });
    for (const MountEntry& mount : volumes) {
        const bool removable = sources.isRemovable && sources.isRemovable(mount.device);
        places.push_back({mount.mountPoint, WithSlash(mount.mountPoint), VolumeIcon(mount, removable)});
    }
    return places;
}

std::vector<BrowserPlace> MachinePlaces()
{
    PlaceSources sources;
    if (const char* home = std::getenv("HOME")) sources.homeFolder = home;
    std::ifstream mounts("/proc/self/mounts");
    std::ostringstream text;
    text << mounts.rdbuf();
    sources.mountsText = text.str();
    sources.isRemovable = RemovableBlockDevice;
    sources.isFolder = FolderExists;
    return BrowserPlaces(sources);
}

std::optional<RestoreWalk> PlanRestoreWalk(std::string_view rememberedFolder, const std::vector<BrowserPlace>& places)
{
    if (rememberedFolder.empty() || rememberedFolder == kNoRememberedFolder) return std::nullopt;
    const std::string folder = WithSlash(std::string(rememberedFolder));
    std::optional<RestoreWalk> walk;
    size_t longest = 0;
    for (size_t i = 0; i < places.size(); ++i) {
        const std::string& path = places[i].path;
        if (folder.starts_with(path) && (!walk || path.size() > longest)) {
            walk = RestoreWalk{i, {}};
            longest = path.size();
        }
    }
    if (!walk) return std::nullopt;
    std::string_view rest = std::string_view(folder).substr(longest);
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        if (!component.empty()) walk->components.emplace_back(component);
        if (slash == std::string_view::npos) break;
        rest.remove_prefix(slash + 1);
    }
    return walk;
}

}  // namespace solvane
