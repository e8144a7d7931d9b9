#include "app/file_browser.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace solvane {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kMarkerRole = Qt::UserRole + 1;
constexpr int kFolderRole = Qt::UserRole + 2;
constexpr int kIconRole = Qt::UserRole + 3;

constexpr const char* kIconNames[kBrowserIconCount] = {
    "3dfile", "3dstudio", "autocad", "directx", "geomview", "lightwave", "quake",  "quake2",  "solvane",
    "regularfile", "truespace", "wavefront", "floppy", "hard", "cdrom", "network", "folder", "folderopen",
};

void SetIcon(QTreeWidgetItem* item, BrowserIcon icon)
{
    item->setIcon(0, BrowserIconImage(icon));
    item->setData(0, kIconRole, static_cast<int>(icon));
}

QTreeWidgetItem* NewFolderItem(const QString& text, const QString& path, BrowserIcon icon)
{
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, kPathRole, path);
    item->setData(0, kMarkerRole, FileBrowserPanel::kNotListed);
    item->setData(0, kFolderRole, true);
    SetIcon(item, icon);
    // Every place and folder starts with its expand button; listing it decides whether it keeps it.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

QString FromLocal(const std::string& text)
{
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString BrowserIconName(BrowserIcon icon)
{
    return QString::fromLatin1(kIconNames[static_cast<int>(icon)]);
}

QIcon BrowserIconImage(BrowserIcon icon)
{
    QIcon image;
    const QString name = BrowserIconName(icon);
    image.addFile(":/browser/" + name + ".png", QSize(16, 16));
    image.addFile(":/browser/" + name + "@2x.png", QSize(32, 32));
    return image;
}

FileBrowserPanel::FileBrowserPanel(QWidget* mainWindow, Settings& settings, Hooks hooks)
    : DockedPanel(mainWindow, settings, PanelKind::FileBrowser, hooks.closedByUser), hooks_(std::move(hooks))
{
    setObjectName("file_browser_panel");
    setWindowTitle("Solvane File Browser");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(1);

    auto* show = new QGroupBox("Show");
    show->setObjectName("show_1083");
    auto* showLayout = new QHBoxLayout(show);
    supported_ = new QRadioButton("Supported Files");
    supported_->setObjectName("supported_1046");
    all_ = new QRadioButton("All Files");
    all_->setObjectName("all_1045");
    (settings_.show_supported_files ? supported_ : all_)->setChecked(true);
    showLayout->addWidget(supported_);
    showLayout->addWidget(all_);
    showLayout->addStretch();
    layout->addWidget(show);

    tree_ = new QTreeWidget;
    tree_->setObjectName("tree");
    // The tree keeps the desktop's own colours (dark text and branch marks on a light base).
    // Every role set, so that nothing is taken from the panel's palette.
    const QPalette desktop = QApplication::palette(tree_);
    QPalette own;
    for (int group = 0; group < QPalette::NColorGroups; ++group) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto g = static_cast<QPalette::ColorGroup>(group);
            const auto r = static_cast<QPalette::ColorRole>(role);
            if (r != QPalette::NoRole) own.setColor(g, r, desktop.color(g, r));
        }
    }
    tree_->setPalette(own);
    tree_->setHeaderHidden(true);
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->setIconSize(QSize(16, 16));
    tree_->setFrameShape(QFrame::StyledPanel);
    tree_->setFrameShadow(QFrame::Sunken);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree_->header()->setStretchLastSection(false);
    layout->addWidget(tree_, 1);

    auto* refresh = new QPushButton("Refresh Files");
    refresh->setObjectName("refresh_1084");
    layout->addWidget(refresh);

    connect(tree_, &QTreeWidget::itemExpanded, this, &FileBrowserPanel::Expanded);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &FileBrowserPanel::Collapsed);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, &FileBrowserPanel::DoubleClicked);
    connect(refresh, &QPushButton::clicked, this, &FileBrowserPanel::FillRoots);
    connect(supported_, &QRadioButton::clicked, this, [this] { ShowFiles(true); });
    connect(all_, &QRadioButton::clicked, this, [this] { ShowFiles(false); });
    FillRoots();
}

QString FileBrowserPanel::ItemPath(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kPathRole).toString() : QString();
}

bool FileBrowserPanel::IsFolder(const QTreeWidgetItem* item)
{
    return item && item->data(0, kFolderRole).toBool();
}

BrowserIcon FileBrowserPanel::ItemIcon(const QTreeWidgetItem* item)
{
    return static_cast<BrowserIcon>(item->data(0, kIconRole).toInt());
}

int FileBrowserPanel::FillMarker(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kMarkerRole).toInt() : 0;
}

void FileBrowserPanel::ShowFiles(bool supportedOnly)
{
    settings_.show_supported_files = supportedOnly ? 1 : 0;
    FillRoots();
}

void FileBrowserPanel::FillRoots()
{
    tree_->clear();
    const std::vector<BrowserPlace> places = hooks_.places ? hooks_.places() : MachinePlaces();
    for (const BrowserPlace& place : places) {
        tree_->addTopLevelItem(NewFolderItem(FromLocal(place.label), FromLocal(place.path), place.icon));
    }
    // Open the remembered folder again, as far as it still exists.
    const auto walk = PlanRestoreWalk(settings_.file_browser_last_dir, places);
    if (!walk) return;
    restoring_ = true;
    QTreeWidgetItem* item = tree_->topLevelItem(static_cast<int>(walk->place));
    item->setExpanded(true);
    for (const std::string& component : walk->components) {
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i) {
            QTreeWidgetItem* child = item->child(i);
            if (IsFolder(child) && child->text(0) == FromLocal(component)) next = child;
        }
        if (!next) break;
        item = next;
        item->setExpanded(true);
    }
    tree_->setCurrentItem(item);
    // The folder at the top, so that what it holds shows below it.
    tree_->scrollToItem(item, QAbstractItemView::PositionAtTop);
    restoring_ = false;
}

void FileBrowserPanel::ListFolder(QTreeWidgetItem* item)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString folder = ItemPath(item);
    const bool supportedOnly = settings_.show_supported_files != 0;
    const std::vector<FolderEntry> entries = ListFolderEntries(folder.toLocal8Bit().toStdString(), supportedOnly);
    QList<QTreeWidgetItem*> children;
    for (const FolderEntry& entry : entries) {
        const QString name = FromLocal(entry.name);
        if (entry.isFolder) {
            children.append(NewFolderItem(name, folder + name + "/", BrowserIcon::Folder));
            continue;
        }
        auto* file = new QTreeWidgetItem(QStringList{name});
        file->setData(0, kPathRole, folder + name);
        file->setData(0, kFolderRole, false);
        SetIcon(file, entry.icon);
        children.append(file);
    }
    item->addChildren(children);
    // Nothing in it: the expand button goes.
    if (children.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    QApplication::restoreOverrideCursor();
}

void FileBrowserPanel::Expanded(QTreeWidgetItem* item)
{
    if (FillMarker(item) == kNotListed) {
        item->setData(0, kMarkerRole, kListed);
        ListFolder(item);
    }
    if (item->parent()) SetIcon(item, BrowserIcon::FolderOpen);
    if (!restoring_) RememberFolder(item);
}

void FileBrowserPanel::Collapsed(QTreeWidgetItem* item)
{
    if (item->parent()) SetIcon(item, BrowserIcon::Folder);
    if (!restoring_) RememberFolder(item);
}

bool FileBrowserPanel::AnyNonRootItemShown() const
{
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* root = tree_->topLevelItem(i);
        if (root->isExpanded() && root->childCount() > 0) return true;
    }
    return false;
}

void FileBrowserPanel::RememberFolder(QTreeWidgetItem* item)
{
    tree_->setCurrentItem(item);
    settings_.file_browser_last_dir =
        AnyNonRootItemShown() ? ItemPath(item).toLocal8Bit().toStdString() : std::string(kNoRememberedFolder);
}

void FileBrowserPanel::DoubleClicked(QTreeWidgetItem* item)
{
    if (item && !IsFolder(item) && !(hooks_.loadRunning && hooks_.loadRunning()) && hooks_.openModel) {
        hooks_.openModel(ItemPath(item));
    }
    if (hooks_.focusMainWindow) hooks_.focusMainWindow();
}

}  // namespace solvane
