#include "app/xdg_associations.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "core/format_id.h"

extern char** environ;

namespace solvane::xdg {
namespace fs = std::filesystem;
namespace {

// The magic tests are those of format identification; where a type's glob is also claimed by
// another type (.cob by COBOL sources, .scn by Godot scenes, .obj by TGIF, .x, .pro, .mdl and .prj by
// various text formats), shared-mime-info uses them to decide.
const ModelFileType kTypes[] = {
    {"svo", "application/x-solvane-object", false, {{0, "Solvaneo"}}},
    {"svs", "application/x-solvane-scene", false, {{0, "Solvanes"}}},
    {"3d2", "model/x-stereo-cad-3d", false, {{0, "\x3d\x02"}}},
    {"3ds", "image/x-3ds", true, {}},
    {"prj", "model/x-3ds-project", false, {{0, "\x4d\x4d"}, {0, "\x3d\xc2"}}},
    {"cob", "model/x-truespace-object", false, {{0, "Caligari "}}},
    {"scn", "model/x-truespace-scene", false, {{0, "Caligari "}}},
    {"dxf", "image/vnd.dxf", true, {}},
    {"l3d", "model/x-l3d", false, {{0, "L3D0"}}},
    {"lwo", "image/x-lwo", true, {}},
    {"mdl", "model/x-quake-mdl", false, {{0, "IDPO"}, {0, "idpo"}}},
    {"md2", "model/x-quake-md2", false, {{0, "IDP2"}, {0, "idp2"}}},
    {"md3", "model/x-quake-md3", false, {{0, "IDP3"}, {0, "idp3"}}},
    {"nff", "model/x-worldtoolkit-nff", false, {{0, "NFF"}, {0, "nff"}, {0, "S8"}, {0, "s8"}}},
    {"obj", "model/obj", true, {}},
    {"off", "model/x-geomview-off", false, {{0, "OFF"}, {0, "off"}}},
    {"ply", "model/x-ply", false, {{0, "ply"}, {0, "PLY"}}},
    {"pro", "model/x-power-render", false, {{0, std::string_view("\x03\x03", 2)}}},
    {"vtk", "model/x-vtk", false, {{0, "# vtk"}}},
    {"x", "model/x-directx", false, {{0, "xof "}}},
    {"3dm", "model/x-rhino-3dm", false, {{0, "3D Geometry File Format "}}},
};

constexpr const char* kAssociationExtensions[] = {".svo", ".svs", ".3d2", ".3ds", ".cob", ".scn", ".dxf",
                                                  ".l3d", ".lwo", ".mdl", ".md2", ".md3", ".nff", ".obj",
                                                  ".off", ".ply", ".pro", ".vtk", ".x"};
constexpr const char* kShellEntryExtensions[] = {".svo", ".svs", ".3d2", ".3ds", ".cob", ".scn", ".dxf", ".lwo", ".mdl",
                                                 ".md2", ".md3", ".nff", ".obj", ".off", ".ply", ".pro", ".vtk"};
constexpr const char* kShellEntryRemovalExtensions[] = {".svo", ".svs", ".3d2", ".3ds", ".cob", ".scn",
                                                        ".dxf", ".lwo", ".mdl", ".md2", ".md3", ".nff",
                                                        ".obj", ".off", ".ply", ".pro", ".vtk", ".x"};

// The key that marks a desktop entry written into the user's folder by this program.
constexpr const char* kOursKey = "X-Solvane-Installed-By=Configuration Wizard";
// The folder of the icon written with such an entry.
constexpr const char* kUserIconFolder = "solvane";

std::string_view Trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool IsGroupHeader(std::string_view line)
{
    line = Trim(line);
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

// "key=value" (blanks around "=" allowed); false for comments, headers and blank lines.
bool SplitEntry(std::string_view line, std::string_view& key, std::string_view& value)
{
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#' || trimmed.front() == '[') return false;
    const size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return false;
    key = Trim(trimmed.substr(0, equals));
    value = Trim(trimmed.substr(equals + 1));
    return true;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the whole text through a temporary file in the same folder, so that a reader never sees
// half of it; a link is followed, so a file kept elsewhere (dotfile managers) stays a link.
bool WriteFileAtomically(const fs::path& requested, const std::string& text)
{
    std::error_code error;
    fs::path path = requested;
    if (fs::is_symlink(path, error)) {
        const fs::path target = fs::canonical(path, error);
        if (!error) path = target;
    }
    fs::create_directories(path.parent_path(), error);
    const fs::path temporary = path.string() + ".solvane-new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << text;
        out.flush();
        if (!out) {
            out.close();
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

std::string ToLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

fs::path MimeAppsPath(const Folders& folders)
{
    return folders.configHome / "mimeapps.list";
}

fs::path UserApplications(const Folders& folders)
{
    return folders.dataHome / "applications";
}

fs::path UserMimePackage(const Folders& folders)
{
    return folders.dataHome / "mime" / "packages" / kMimePackageName;
}

fs::path UserIcon(const Folders& folders)
{
    return folders.dataHome / kUserIconFolder / (std::string(kIconName) + ".png");
}

// Whether a desktop file id is installed: in the user's applications folder or in one of the data
// folders' (ids with "-" may also name a file in a sub-folder: "vendor-app.desktop" is
// vendor/app.desktop).
bool DesktopFileInstalled(const Folders& folders, const std::string& id)
{
    std::vector<fs::path> roots{folders.dataHome};
    roots.insert(roots.end(), folders.dataDirs.begin(), folders.dataDirs.end());
    std::error_code error;
    for (const fs::path& root : roots) {
        const fs::path applications = root / "applications";
        if (fs::is_regular_file(applications / id, error)) return true;
        for (size_t dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
            const std::string nested = id.substr(0, dash) + "/" + id.substr(dash + 1);
            if (fs::is_regular_file(applications / nested, error)) return true;
        }
    }
    return false;
}

bool IsOurUserEntry(const fs::path& path)
{
    return ReadFile(path).find(kOursKey) != std::string::npos;
}

// The Icon key of entries written into the user's folder: our icon file when we have its bytes.
std::string UserIconValue(const Folders& folders, const Program& program)
{
    if (program.iconPng.empty()) return kIconName;
    const fs::path icon = UserIcon(folders);
    std::error_code error;
    if (!fs::exists(icon, error) || ReadFile(icon) != program.iconPng) WriteFileAtomically(icon, program.iconPng);
    return icon.string();
}

void EnsureMimePackage(const Folders& folders, const Program& program)
{
    if (InstalledSystemWide(folders, program.executable)) return;
    const fs::path package = UserMimePackage(folders);
    const std::string packageText = MimePackage();
    if (ReadFile(package) != packageText) WriteFileAtomically(package, packageText);
}

// The desktop entry and the MIME package in the user's folder when the program is not installed
// system-wide; when it is, an entry an earlier run left there is taken away so that the installed
// one is found.
void EnsureViewerFiles(const Folders& folders, const Program& program)
{
    const fs::path entry = UserApplications(folders) / kViewerDesktopId;
    std::error_code error;
    if (InstalledSystemWide(folders, program.executable)) {
        if (IsOurUserEntry(entry)) fs::remove(entry, error);
        return;
    }
    EnsureMimePackage(folders, program);
    // An entry of that name that is not ours (the user's own) is left alone.
    if (fs::exists(entry, error) && !IsOurUserEntry(entry)) return;
    const std::string text = ViewerDesktopEntry(program.executable, UserIconValue(folders, program), true);
    if (ReadFile(entry) != text) WriteFileAtomically(entry, text);
}

std::vector<std::string> SplitList(std::string_view value)
{
    std::vector<std::string> ids;
    while (!value.empty()) {
        const size_t semicolon = value.find(';');
        const std::string_view id = Trim(value.substr(0, semicolon));
        if (!id.empty()) ids.emplace_back(id);
        if (semicolon == std::string_view::npos) break;
        value.remove_prefix(semicolon + 1);
    }
    return ids;
}

bool Contains(const std::vector<std::string>& ids, std::string_view id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void Erase(std::vector<std::string>& ids, std::string_view id)
{
    ids.erase(std::remove(ids.begin(), ids.end(), id), ids.end());
}

// Runs a database tool on a folder with its output discarded; a tool that is not installed is
// skipped.
void RunTool(const char* tool, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(tool));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawnp(&child, tool, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

// Reserved characters of an Exec argument (Desktop Entry Specification, "The Exec key").
constexpr std::string_view kExecReserved = " \t\n\"'\\><~|&;$*?#()`";

// A desktop entry string value: backslash, newline, tab and carriage return escaped.
std::string EscapeString(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

std::string MimeTypeList(std::span<const char* const> extensions)
{
    std::string list;
    for (const char* extension : extensions) {
        list += FindFileType(extension)->mimeType;
        list += ';';
    }
    return list;
}

std::string AllMimeTypes()
{
    std::string list;
    for (const ModelFileType& type : kTypes) {
        list += type.mimeType;
        list += ';';
    }
    return list;
}

std::string XmlEscape(std::string_view text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

// A string match value of shared-mime-info: bytes outside printable ASCII as "\xNN".
std::string MagicValue(std::string_view bytes)
{
    std::string value;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\\') {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            value += escape;
        } else {
            value += c;
        }
    }
    return XmlEscape(value);
}

}  // namespace

std::span<const ModelFileType> ModelFileTypes()
{
    return kTypes;
}

const ModelFileType* FindFileType(std::string_view extension)
{
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    const std::string lower = ToLower(extension);
    for (const ModelFileType& type : kTypes) {
        if (type.extension == lower) return &type;
    }
    return nullptr;
}

std::span<const char* const> AssociationExtensions()
{
    return kAssociationExtensions;
}

std::span<const char* const> ShellEntryExtensions()
{
    return kShellEntryExtensions;
}

std::span<const char* const> ShellEntryRemovalExtensions()
{
    return kShellEntryRemovalExtensions;
}

Folders UserFolders()
{
    // XDG Base Directory Specification: unset, empty or relative values are ignored.
    const auto absolute = [](const char* name) -> fs::path {
        const char* value = std::getenv(name);
        if (!value || !*value || value[0] != '/') return {};
        return value;
    };
    fs::path home = absolute("HOME");
    if (home.empty()) {
        if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) home = user->pw_dir;
    }
    Folders folders;
    folders.configHome = absolute("XDG_CONFIG_HOME");
    if (folders.configHome.empty()) folders.configHome = home / ".config";
    folders.dataHome = absolute("XDG_DATA_HOME");
    if (folders.dataHome.empty()) folders.dataHome = home / ".local" / "share";
    if (const char* dirs = std::getenv("XDG_DATA_DIRS"); dirs && *dirs) {
        std::string_view rest = dirs;
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const std::string_view dir = rest.substr(0, colon);
            if (!dir.empty() && dir.front() == '/') folders.dataDirs.emplace_back(dir);
            if (colon == std::string_view::npos) break;
            rest.remove_prefix(colon + 1);
        }
    }
    if (folders.dataDirs.empty()) folders.dataDirs = {"/usr/local/share", "/usr/share"};
    return folders;
}

bool InstalledSystemWide(const Folders& folders, const std::string& executable)
{
    std::error_code error;
    const fs::path share = fs::path(executable).parent_path().parent_path() / "share";
    if (!fs::is_regular_file(share / "applications" / kViewerDesktopId, error)) return false;
    const fs::path shareKey = fs::weakly_canonical(share, error);
    for (const fs::path& dir : folders.dataDirs) {
        if (fs::weakly_canonical(dir, error) == shareKey) return true;
    }
    return false;
}

bool IsAssociated(const Folders& folders, std::string_view extension)
{
    const ModelFileType* type = FindFileType(extension);
    if (!type) return false;
    const MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    for (const std::string& id : list.Get(kDefaultApplications, type->mimeType)) {
        if (DesktopFileInstalled(folders, id)) return id == kViewerDesktopId;
    }
    return false;
}

void Associate(const Folders& folders, const Program& program, std::string_view extension)
{
    const ModelFileType* type = FindFileType(extension);
    if (!type) return;
    EnsureViewerFiles(folders, program);
    MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    std::vector<std::string> ids = list.Get(kDefaultApplications, type->mimeType);
    if (!ids.empty() && ids.front() == kViewerDesktopId) return;
    Erase(ids, kViewerDesktopId);
    ids.insert(ids.begin(), kViewerDesktopId);
    list.Set(kDefaultApplications, type->mimeType, ids);
    list.Write(MimeAppsPath(folders));
}

void Unassociate(const Folders& folders, std::string_view extension)
{
    const ModelFileType* type = FindFileType(extension);
    if (!type) return;
    MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    std::vector<std::string> ids = list.Get(kDefaultApplications, type->mimeType);
    if (!Contains(ids, kViewerDesktopId)) return;
    Erase(ids, kViewerDesktopId);
    list.Set(kDefaultApplications, type->mimeType, ids);
    list.Write(MimeAppsPath(folders));
}

void InstallShellEntries(const Folders& folders, const Program& program, Settings& settings)
{
    settings.shell_extention = 1;
    EnsureMimePackage(folders, program);
    const bool installed = InstalledSystemWide(folders, program.executable);
    const std::string icon = installed ? std::string(kIconName) : UserIconValue(folders, program);
    const fs::path entry = UserApplications(folders) / kOpenWithDesktopId;
    const std::string text = OpenWithDesktopEntry(program.executable, icon);
    if (ReadFile(entry) != text) WriteFileAtomically(entry, text);

    MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    bool changed = false;
    for (const char* extension : kShellEntryExtensions) {
        const std::string_view mimeType = FindFileType(extension)->mimeType;
        std::vector<std::string> ids = list.Get(kAddedAssociations, mimeType);
        if (Contains(ids, kOpenWithDesktopId)) continue;
        ids.emplace_back(kOpenWithDesktopId);
        list.Set(kAddedAssociations, mimeType, ids);
        changed = true;
    }
    if (changed) list.Write(MimeAppsPath(folders));
}

void RemoveShellEntries(const Folders& folders, Settings& settings)
{
    settings.shell_extention = 0;
    MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    bool changed = false;
    for (const char* extension : kShellEntryRemovalExtensions) {
        const std::string_view mimeType = FindFileType(extension)->mimeType;
        std::vector<std::string> ids = list.Get(kAddedAssociations, mimeType);
        if (!Contains(ids, kOpenWithDesktopId)) continue;
        Erase(ids, kOpenWithDesktopId);
        list.Set(kAddedAssociations, mimeType, ids);
        changed = true;
    }
    if (changed) list.Write(MimeAppsPath(folders));
    std::error_code error;
    fs::remove(UserApplications(folders) / kOpenWithDesktopId, error);
}

bool HasShellEntry(const Folders& folders, std::string_view extension)
{
    const ModelFileType* type = FindFileType(extension);
    if (!type) return false;
    std::error_code error;
    if (!fs::is_regular_file(UserApplications(folders) / kOpenWithDesktopId, error)) return false;
    const MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    return Contains(list.Get(kAddedAssociations, type->mimeType), kOpenWithDesktopId);
}

void FinishChanges(const Folders& folders)
{
    const MimeAppsList list = MimeAppsList::Read(MimeAppsPath(folders));
    bool viewerReferenced = false, openWithReferenced = false;
    for (const ModelFileType& type : kTypes) {
        viewerReferenced = viewerReferenced || Contains(list.Get(kDefaultApplications, type.mimeType), kViewerDesktopId);
        openWithReferenced =
            openWithReferenced || Contains(list.Get(kAddedAssociations, type.mimeType), kOpenWithDesktopId);
    }
    std::error_code error;
    const fs::path applications = UserApplications(folders);
    const fs::path viewerEntry = applications / kViewerDesktopId;
    const fs::path openWithEntry = applications / kOpenWithDesktopId;
    if (!viewerReferenced && IsOurUserEntry(viewerEntry)) fs::remove(viewerEntry, error);
    if (!openWithReferenced) fs::remove(openWithEntry, error);
    const bool viewerEntryStays = IsOurUserEntry(viewerEntry);
    const bool openWithStays = fs::exists(openWithEntry, error);
    if (!viewerEntryStays && !openWithStays) {
        fs::remove(UserMimePackage(folders), error);
        fs::remove(UserIcon(folders), error);
        fs::remove(folders.dataHome / kUserIconFolder, error);  // only when empty
    }

    // The databases the desktop reads: the MIME types of the packages, and the MIME types of the
    // desktop entries.
    if (fs::is_directory(folders.dataHome / "mime" / "packages", error)) {
        RunTool("update-mime-database", {(folders.dataHome / "mime").string()});
    }
    if (fs::is_directory(applications, error)) RunTool("update-desktop-database", {"-q", applications.string()});
}

void ApplyChoices(const Folders& folders, const Program& program, const AssociationChoices& choices,
                  Settings& settings)
{
    for (size_t i = 0; i < std::size(kAssociationExtensions); ++i) {
        const bool wanted = i < choices.associate.size() && choices.associate[i];
        if (wanted) {
            Associate(folders, program, kAssociationExtensions[i]);
        } else {
            Unassociate(folders, kAssociationExtensions[i]);
        }
    }
    if (choices.shellEntries) {
        InstallShellEntries(folders, program, settings);
    } else {
        RemoveShellEntries(folders, settings);
    }
    FinishChanges(folders);
}

std::string ExecArgument(std::string_view argument)
{
    std::string quoted;
    const bool needsQuotes = argument.empty() || argument.find_first_of(kExecReserved) != std::string_view::npos;
    if (needsQuotes) quoted += '"';
    for (const char c : argument) {
        if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    if (needsQuotes) quoted += '"';
    return EscapeString(quoted);
}

std::vector<std::string> ParseExec(std::string_view value)
{
    // The string value's escapes first, then the Exec quoting rules.
    std::string text;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            switch (next) {
            case 's': text += ' '; break;
            case 'n': text += '\n'; break;
            case 't': text += '\t'; break;
            case 'r': text += '\r'; break;
            case '\\': text += '\\'; break;
            default: text += '\\'; text += next; break;
            }
        } else {
            text += value[i];
        }
    }
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false, quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size() && std::string_view("\"`$\\").find(text[i + 1]) != std::string_view::npos) {
                current += text[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n') {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == '"') {
            quoted = true;
        } else if (c == '%' && i + 1 < text.size() && text[i + 1] == '%') {
            current += '%';
            ++i;
        } else {
            current += c;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

std::string ViewerDesktopEntry(const std::string& executable, const std::string& icon, bool markAsOurs)
{
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.4\n"
                       "Name=Solvane Viewer\n"
                       "GenericName=3D Model Viewer\n"
                       "Comment=Look at 3D models: turn, zoom and fly around them\n";
    text += "Exec=" + ExecArgument(executable) + " %f\n";
    text += "Icon=" + EscapeString(icon) + "\n";
    text += "Terminal=false\n"
            "Categories=Graphics;3DGraphics;Viewer;\n"
            "Keywords=3D;model;mesh;viewer;OBJ;3DS;LightWave;DXF;Quake;DirectX;PLY;VTK;\n";
    text += "MimeType=" + AllMimeTypes() + "\n";
    if (markAsOurs) text += std::string(kOursKey) + "\n";
    return text;
}

std::string OpenWithDesktopEntry(const std::string& executable, const std::string& icon)
{
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Version=1.4\n"
                       "Name=Open with Solvane\n"
                       "Comment=Open the model in Solvane Viewer\n";
    text += "Exec=" + ExecArgument(executable) + " %f\n";
    text += "Icon=" + EscapeString(icon) + "\n";
    text += "Terminal=false\n"
            "NoDisplay=true\n";
    text += "MimeType=" + MimeTypeList(kShellEntryExtensions) + "\n";
    text += std::string(kOursKey) + "\n";
    return text;
}

std::string MimePackage()
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<!-- The 3D model types Solvane Viewer reads. Types that shared-mime-info already\n"
                       "     defines keep their definition; this package adds their glob. -->\n"
                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const ModelFileType& type : kTypes) {
        text += "  <mime-type type=\"" + XmlEscape(type.mimeType) + "\">\n";
        if (!type.sharedType) {
            text += "    <comment>" + XmlEscape(FormatDescriptionForExtension(type.extension)) + "</comment>\n";
        }
        if (!type.magic.empty()) {
            text += "    <magic priority=\"50\">\n";
            for (const Magic& magic : type.magic) {
                text += "      <match type=\"string\" offset=\"" + std::to_string(magic.offset) + "\" value=\"" +
                        MagicValue(magic.bytes) + "\"/>\n";
            }
            text += "    </magic>\n";
        }
        text += "    <glob pattern=\"*." + XmlEscape(type.extension) + "\"/>\n";
        text += "  </mime-type>\n";
    }
    text += "</mime-info>\n";
    return text;
}

std::string ThumbnailerEntry()
{
    std::string text = "[Thumbnailer Entry]\n"
                       "TryExec=solvane-cli\n"
                       "Exec=solvane-cli thumbnail -s %s %i %o\n";
    text += "MimeType=" + AllMimeTypes() + "\n";
    return text;
}

MimeAppsList MimeAppsList::Read(const fs::path& path)
{
    MimeAppsList list;
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);) list.lines_.push_back(line);
    return list;
}

bool MimeAppsList::Write(const fs::path& path) const
{
    std::string text;
    for (const std::string& line : lines_) text += line + "\n";
    return WriteFileAtomically(path, text);
}

std::vector<std::string> MimeAppsList::Get(std::string_view group, std::string_view key) const
{
    bool inGroup = false;
    for (const std::string& line : lines_) {
        if (IsGroupHeader(line)) {
            const std::string_view name = Trim(line);
            inGroup = name.substr(1, name.size() - 2) == group;
            continue;
        }
        std::string_view entryKey, value;
        if (inGroup && SplitEntry(line, entryKey, value) && entryKey == key) return SplitList(value);
    }
    return {};
}

void MimeAppsList::Set(std::string_view group, std::string_view key, const std::vector<std::string>& ids)
{
    std::string entry = std::string(key) + "=";
    for (const std::string& id : ids) entry += id + ";";

    // The group's header, its entry for key, and its last non-blank line.
    size_t header = lines_.size(), keyLine = lines_.size(), lastLine = lines_.size();
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (IsGroupHeader(lines_[i])) {
            if (header != lines_.size()) break;
            const std::string_view name = Trim(lines_[i]);
            if (name.substr(1, name.size() - 2) == group) header = lastLine = i;
            continue;
        }
        if (header == lines_.size()) continue;
        if (!Trim(lines_[i]).empty()) lastLine = i;
        std::string_view entryKey, value;
        if (keyLine == lines_.size() && SplitEntry(lines_[i], entryKey, value) && entryKey == key) keyLine = i;
    }
    if (keyLine != lines_.size()) {
        if (ids.empty()) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(keyLine));
        } else {
            lines_[keyLine] = entry;
        }
        return;
    }
    if (ids.empty()) return;
    if (header == lines_.size()) {
        if (!lines_.empty() && !Trim(lines_.back()).empty()) lines_.emplace_back();
        lines_.push_back("[" + std::string(group) + "]");
        lines_.push_back(entry);
        return;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastLine) + 1, entry);
}

}  // namespace solvane::xdg
