// "Solvane File Browser": a panel beside the main window with a tree of the machine's places, their
// folders (listed when first opened) and the model files in them; a double click opens a file.
// The filter ("Supported Files" or "All Files") and the last folder shown are kept in the settings.
#pragma once

#include <QIcon>
#include <QString>

#include <functional>

#include "app/docking.h"
#include "core/file_browsing.h"

class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

// The icon of the browser's image list (our own pictures, 16 pixels and 32 for dense screens).
QIcon BrowserIconImage(BrowserIcon icon);
// Its resource name ("folder" gives ":/browser/folder.png").
QString BrowserIconName(BrowserIcon icon);

class FileBrowserPanel : public DockedPanel {
public:
    struct Hooks {
        std::function<void()> closedByUser;
        // Opens a model file (the window ignores it while a load runs).
        std::function<void(const QString& path)> openModel;
        std::function<bool()> loadRunning;
        // Where the keyboard goes back to after a double click.
        std::function<void()> focusMainWindow;
        // The root places; the machine's by default (tests give their own).
        std::function<std::vector<BrowserPlace>()> places;
    };

    // Fill markers of a folder item: not yet listed, listed.
    static constexpr int kNotListed = 541;
    static constexpr int kListed = 542;

    FileBrowserPanel(QWidget* mainWindow, Settings& settings, Hooks hooks);

    // Empties the tree, puts the places at its root and opens the remembered folder again.
    void FillRoots();
    QTreeWidget* Tree() const { return tree_; }
    // An item's full path: a folder's ends with "/", a file's does not.
    static QString ItemPath(const QTreeWidgetItem* item);
    static bool IsFolder(const QTreeWidgetItem* item);
    static int FillMarker(const QTreeWidgetItem* item);
    static BrowserIcon ItemIcon(const QTreeWidgetItem* item);

private:
    void ListFolder(QTreeWidgetItem* item);
    void Expanded(QTreeWidgetItem* item);
    void Collapsed(QTreeWidgetItem* item);
    void RememberFolder(QTreeWidgetItem* item);
    void DoubleClicked(QTreeWidgetItem* item);
    void ShowFiles(bool supportedOnly);
    bool AnyNonRootItemShown() const;

    Hooks hooks_;
    QTreeWidget* tree_;
    QRadioButton* supported_;
    QRadioButton* all_;
    bool restoring_ = false;
};

}  // namespace solvane
