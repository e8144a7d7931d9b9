#include "app/recent_files.h"

#include <QStringList>

#include <algorithm>

#include "app/settings_store.h"

namespace solvane {

void AddRecentPath(RecentFileList& list, const std::string& path)
{
    const int count = std::clamp(list.count, 0, kRecentFileSlots);
    int found = -1;
    for (int i = 0; i < count && found < 0; ++i) {
        if (list.paths[i] == path) found = i;
    }
    // Slots 0..last-1 move one place down over slot last: the entry itself, the oldest of a full
    // list, or the first unused slot.
    const int last = found >= 0 ? found : std::min(count, kRecentFileSlots - 1);
    for (int i = last; i > 0; --i) list.paths[i] = std::move(list.paths[i - 1]);
    list.paths[0] = path;
    list.count = found >= 0 ? count : std::min(count + 1, kRecentFileSlots);
}

void ClearRecentList(RecentFileList& list)
{
    list.count = 0;
}

QString RecentCountKey(RecentList which)
{
    return which == RecentList::Reads ? QString("num_recent_files") : QString("num_recent_files_write");
}

QString RecentPathKey(RecentList which, int slot)
{
    return which == RecentList::Reads ? QString("recent_file_%1").arg(slot) : QString("recent_file_%1_write").arg(slot);
}

namespace {

RecentFileList LoadList(RecentList which)
{
    RecentFileList list;
    const int stored = std::clamp(ReadInt(RecentCountKey(which), 0), 0, kRecentFileSlots);
    for (int slot = 0; slot < kRecentFileSlots; ++slot) ReadPathText(RecentPathKey(which, slot), list.paths[slot]);
    // The entries in use, without holes and repeats; the unused slots keep their stored paths.
    std::array<std::string, kRecentFileSlots> kept;
    int count = 0;
    for (int slot = 0; slot < stored; ++slot) {
        const std::string& path = list.paths[slot];
        if (path.empty() || std::find(kept.begin(), kept.begin() + count, path) != kept.begin() + count) continue;
        kept[count++] = path;
    }
    for (int slot = stored; slot < kRecentFileSlots; ++slot) kept[slot] = list.paths[slot];
    list.paths = std::move(kept);
    list.count = count;
    return list;
}

void SaveList(RecentList which, const RecentFileList& list)
{
    WriteInt(RecentCountKey(which), list.count);
    for (int slot = 0; slot < kRecentFileSlots; ++slot) WriteText(RecentPathKey(which, slot), list.paths[slot]);
}

}  // namespace

RecentFiles LoadRecentLists()
{
    RecentFiles lists;
    lists.reads = LoadList(RecentList::Reads);
    lists.writes = LoadList(RecentList::Writes);
    return lists;
}

void SaveRecentLists(const RecentFiles& lists)
{
    SaveList(RecentList::Reads, lists.reads);
    SaveList(RecentList::Writes, lists.writes);
    SyncStore();
}

QString RecentMenuText(const QString& path)
{
    QString shown = path;
    if (path.size() > kRecentMenuChars) {
        // The file name and the first folder stay; folders join them from the end, then from the
        // start, in turn, while the text fits.
        const QStringList parts = path.split('/');
        const QString gap = "/...";
        QStringList head{parts.front()};
        QStringList tail{parts.back()};
        qsizetype length = head.front().size() + gap.size() + 1 + tail.front().size();
        qsizetype front = 1;
        qsizetype back = parts.size() - 2;
        bool fromEnd = true;
        bool endFull = false;
        bool startFull = false;
        while (front <= back && !(endFull && startFull)) {
            const QString& part = fromEnd ? parts[back] : parts[front];
            bool& full = fromEnd ? endFull : startFull;
            if (!full && length + part.size() + 1 <= kRecentMenuChars) {
                length += part.size() + 1;
                if (fromEnd) {
                    tail.prepend(part);
                    --back;
                } else {
                    head.append(part);
                    ++front;
                }
            } else {
                full = true;
            }
            fromEnd = !fromEnd;
        }
        if (front <= back) shown = head.join('/') + gap + "/" + tail.join('/');
    }
    return shown.replace('&', "&&");
}

}  // namespace solvane
