// The two lists of recently used files: the models read (opened) and the files written (saved or
// exported). Each holds up to ten full paths, newest first, and lives in the settings store under
// num_recent_files / recent_file_0..9 (reads) and num_recent_files_write / recent_file_0_write..9
// (writes); both lists are written whenever one changes.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <string>

namespace solvane {

constexpr int kRecentFileSlots = 10;

enum class RecentList { Reads, Writes };

struct RecentFileList {
    int32_t count = 0;  // entries in use, 0..10
    // Slot 0 is the newest. Slots from count on keep what the store held (a cleared list's paths
    // stay stored, unseen), and are written back as they are.
    std::array<std::string, kRecentFileSlots> paths;
};

struct RecentFiles {
    RecentFileList reads;
    RecentFileList writes;

    RecentFileList& operator[](RecentList which) { return which == RecentList::Reads ? reads : writes; }
    const RecentFileList& operator[](RecentList which) const { return which == RecentList::Reads ? reads : writes; }
};

// Puts path in slot 0. A path already listed (compared byte for byte, case included) moves up
// from where it was; a new one pushes the others down, the oldest dropping out of a full list.
void AddRecentPath(RecentFileList& list, const std::string& path);
// Empties the list (count 0); the paths stay in their slots.
void ClearRecentList(RecentFileList& list);

// The store's keys of a list.
QString RecentCountKey(RecentList which);
QString RecentPathKey(RecentList which, int slot);

// Reads both lists. A missing count or a stored -1 gives 0, and a count outside 0..10 is brought
// within it; a missing path key gives an empty path. Entries within the count that are empty or
// repeat an earlier entry (a store edited by hand) are left out.
RecentFiles LoadRecentLists();
// Writes the counts and all ten paths of both lists.
void SaveRecentLists(const RecentFiles& lists);

// The menu item text of an entry: the full path, with "&" doubled so that it shows as itself.
// Paths longer than kRecentMenuChars characters lose folders from their middle, shown as "...",
// keeping the file name and the folders at both ends.
constexpr int kRecentMenuChars = 72;
QString RecentMenuText(const QString& path);

}  // namespace solvane
