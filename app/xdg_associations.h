// File associations and the "Open with Solvane" entry on a freedesktop.org desktop, as plain
// functions over the user's XDG folders (no widgets, no Qt), and the texts of the files the
// program installs for the desktop: its desktop entries, the shared-mime-info package naming the
// model types, and the thumbnailer entry.
//
// An association of an extension is the user's default application for the extension's MIME type:
// "solvane.desktop" first in that type's list under [Default Applications] of
// $XDG_CONFIG_HOME/mimeapps.list (freedesktop.org "Association between MIME types and
// applications"). The "Open with Solvane" entry is a second desktop entry,
// "solvane-open-with.desktop" (NoDisplay=true), listed under [Added Associations] for the types, so
// that file managers offer it in "Open With". Only our own desktop ids are ever added to or removed
// from a list; every other line of the file stays as it was.
//
// When the running program is not installed system-wide (its share folder holds no
// applications/solvane.desktop that the desktop finds through $XDG_DATA_DIRS), the desktop entry,
// the MIME package and an icon are written into $XDG_DATA_HOME, marked as ours, and taken away
// again once nothing of ours refers to them. Nothing is written outside the user's own folders.
// Failures (a folder that cannot be written, a file that cannot be read) are silent: what can be
// done is done.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"

namespace solvane::xdg {

// Desktop file ids of the program's two entries.
inline constexpr const char* kViewerDesktopId = "solvane.desktop";
inline constexpr const char* kOpenWithDesktopId = "solvane-open-with.desktop";
// Name of the MIME package (share/mime/packages/solvane.xml) and of the icon.
inline constexpr const char* kMimePackageName = "solvane.xml";
inline constexpr const char* kIconName = "solvane";

// Magic bytes at an offset of the file, as shared-mime-info matches them.
struct Magic {
    int offset = 0;
    std::string_view bytes;
};

// A model file type: one extension the readers read and its MIME type.
struct ModelFileType {
    std::string_view extension;  // lower case, without the dot
    std::string_view mimeType;
    // The type is already defined by shared-mime-info's own package (freedesktop.org.xml):
    // its name, comment and magic are reused, our package only adds the glob.
    bool sharedType = false;
    // Magic bytes that tell the type apart where another type claims the same glob; any one
    // matches.
    std::vector<Magic> magic;
};

// Every extension the readers read, in the order of the desktop entry's MimeType= list.
std::span<const ModelFileType> ModelFileTypes();
// The type of an extension (with or without a leading "."; any case), null when none.
const ModelFileType* FindFileType(std::string_view extension);
// The extensions the wizard associates (19, with ".l3d", which has no box of its own), those it
// gives the "Open with Solvane" entry (17) and those it takes the entry from (18, with ".x").
std::span<const char* const> AssociationExtensions();
std::span<const char* const> ShellEntryExtensions();
std::span<const char* const> ShellEntryRemovalExtensions();

// The user's XDG base folders.
struct Folders {
    std::filesystem::path configHome;               // $XDG_CONFIG_HOME, else ~/.config
    std::filesystem::path dataHome;                 // $XDG_DATA_HOME, else ~/.local/share
    std::vector<std::filesystem::path> dataDirs;    // $XDG_DATA_DIRS, else /usr/local/share, /usr/share
};
// From the environment; unset, empty or relative values give the defaults.
Folders UserFolders();

// What the program is: the viewer's executable (an absolute path) and the program's picture as
// PNG bytes, written as the icon of a desktop entry installed into the user's folder (may be
// empty: the entry then names the icon by name only).
struct Program {
    std::string executable;
    std::string iconPng;
};

// Whether the type of extension has this program as the user's default application: the first
// entry of the type's [Default Applications] list whose desktop file is installed is ours.
bool IsAssociated(const Folders& folders, std::string_view extension);
// Makes the program the default application of the extension's type (ahead of the entries that
// were there, which stay behind it), installing the desktop entry and MIME package into the user's
// folder when the program is not installed system-wide.
void Associate(const Folders& folders, const Program& program, std::string_view extension);
// Takes the program out of the type's default list; other programs' entries stay.
void Unassociate(const Folders& folders, std::string_view extension);
// Sets shell_extention and lists "Open with Solvane" under [Added Associations] for the 17 types.
void InstallShellEntries(const Folders& folders, const Program& program, Settings& settings);
// Clears shell_extention and takes "Open with Solvane" out of the 18 types' added associations.
void RemoveShellEntries(const Folders& folders, Settings& settings);
// Whether "Open with Solvane" is offered for the extension's type.
bool HasShellEntry(const Folders& folders, std::string_view extension);
// Takes away the files installed into the user's folder that nothing of ours refers to any more,
// then refreshes the user's MIME and desktop databases (update-mime-database,
// update-desktop-database, when they are installed).
void FinishChanges(const Folders& folders);

// What the wizard applies on Finish: one wanted flag per association extension, in the order of
// AssociationExtensions(), and whether the "Open with Solvane" entry is wanted.
struct AssociationChoices {
    std::vector<bool> associate;
    bool shellEntries = true;
};
// Associates or unassociates each of the 19 extensions, installs or removes the shell entries,
// then FinishChanges.
void ApplyChoices(const Folders& folders, const Program& program, const AssociationChoices& choices,
                  Settings& settings);

// Whether the program in executable is installed system-wide: <prefix>/bin/<program> with
// <prefix>/share/applications/solvane.desktop, <prefix>/share being one of folders.dataDirs.
bool InstalledSystemWide(const Folders& folders, const std::string& executable);

// One argument of a desktop entry's Exec key, quoted when it holds a reserved character and
// escaped for a desktop entry string value ("/a b/solvane" gives "\"/a b/solvane\"").
std::string ExecArgument(std::string_view argument);
// The arguments of an Exec value as a desktop would run them (string escapes, then quoting), with
// field codes left in place ("%%" becomes "%"). Used to read entries back.
std::vector<std::string> ParseExec(std::string_view value);

// The texts of the files the program installs. executable is the viewer's path as the Exec key
// runs it; icon is the Icon key's value (a name or an absolute path). markAsOurs adds the key that
// marks an entry written into the user's folder.
std::string ViewerDesktopEntry(const std::string& executable, const std::string& icon, bool markAsOurs);
std::string OpenWithDesktopEntry(const std::string& executable, const std::string& icon);
std::string MimePackage();
// The thumbnailer entry: solvane-cli draws a PNG of every model type.
std::string ThumbnailerEntry();

// The user's mimeapps.list, edited line by line: everything that is not changed stays as read.
class MimeAppsList {
public:
    static MimeAppsList Read(const std::filesystem::path& path);
    // Written through a temporary file renamed over the old one; false on failure.
    bool Write(const std::filesystem::path& path) const;

    // The desktop ids of key in group, in order (empty when absent).
    std::vector<std::string> Get(std::string_view group, std::string_view key) const;
    // Replaces the key's list; an empty list removes the key. A new key goes after the group's
    // last entry, a new group at the end.
    void Set(std::string_view group, std::string_view key, const std::vector<std::string>& ids);
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    std::vector<std::string> lines_;
};

inline constexpr const char* kDefaultApplications = "Default Applications";
inline constexpr const char* kAddedAssociations = "Added Associations";

}  // namespace solvane::xdg
