#include "app/main_window.h"

#include <GL/gl.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QToolBar>
#include <QWindow>

#include <algorithm>

#include "app/commands/handlers.h"
#include "app/dialogs.h"
#include "app/file_browser.h"
#include "app/info_panel.h"
#include "app/settings_store.h"
#include "app/toolbar_icons.h"
#include "app/view_widget.h"
#include "core/format_id.h"
#include "core/mesh_ops.h"
#include "core/prepare.h"
#include "formats/native.h"
#include "viewer/scene_record.h"
#include "load/model_report.h"
#include "viewer/viewer.h"

namespace solvane {

namespace {

// Status part 1 before a model is shown and after it is closed: one line, as with a model.
constexpr const char* kNoPolygons = "Polygons: 0 Vertices: 0";
// How long the note about a refused drop stays in the status band.
constexpr int kDropNoteMs = 6000;
// How long after start-up or a restore the window waits for its frame to be known.
constexpr int kFrameFitMs = 3000;
// The window's built-in outer rectangle, and the least of it that must be on a screen.
constexpr QRect kDefaultFrame(150, 150, 650, 480);
constexpr int kMinimumSide = 100;
constexpr int kTitleStrip = 30;

// The stored outer rectangle made usable, whatever the settings held: a size below 1 takes the
// default, a size beyond the screen the screen's; a rectangle whose title strip is not on any
// screen moves to the default place, kept inside the screen.
QRect OnScreenFrame(int64_t x, int64_t y, int64_t width, int64_t height)
{
    if (width < 1) width = kDefaultFrame.width();
    if (height < 1) height = kDefaultFrame.height();
    // Where the title strip is (enough of it to grab), on screen.
    auto titleOn = [&](const QRect& area) {
        const int64_t left = std::max<int64_t>(x, area.left());
        const int64_t right = std::min<int64_t>(x + width, int64_t{area.right()} + 1);
        const int64_t grab = std::min<int64_t>(width, kMinimumSide);
        return right - left >= grab && y >= area.top() && y + kTitleStrip <= int64_t{area.bottom()} + 1;
    };
    const QScreen* primary = QGuiApplication::primaryScreen();
    QRect area = primary ? primary->availableGeometry() : QRect();
    bool placed = false;
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (titleOn(screen->availableGeometry())) {
            area = screen->availableGeometry();
            placed = true;
            break;
        }
    }
    if (area.isEmpty()) return kDefaultFrame;  // no screen known: nothing to keep it on
    if (!placed) {
        x = area.left() + kDefaultFrame.left();
        y = area.top() + kDefaultFrame.top();
    }
    const int64_t fullWidth = width, fullHeight = height;
    width = std::clamp<int64_t>(width, std::min(kMinimumSide, area.width()), area.width());
    height = std::clamp<int64_t>(height, std::min(kMinimumSide, area.height()), area.height());
    if (!placed || width < fullWidth || height < fullHeight) {
        x = std::clamp<int64_t>(x, area.left(), int64_t{area.right()} + 1 - width);
        y = std::clamp<int64_t>(y, area.top(), int64_t{area.bottom()} + 1 - height);
    }
    return QRect(static_cast<int>(x), static_cast<int>(y), static_cast<int>(width), static_cast<int>(height));
}

}  // namespace

MainWindow::MainWindow(Settings& settings) : settings_(settings), recent_(LoadRecentLists())
{
    setObjectName("MainWindow");
    setWindowTitle("Solvane Viewer");
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    view_ = new ViewWidget(settings_, this);
    setCentralWidget(view_);
    view_->SetThumbnailActions({[this](int slot) { RestoreSnapshotAt(slot); }, [this](int slot) { DeleteSnapshotAt(slot); }});
    BuildMenus();
    RebuildRecentMenu(RecentList::Reads);
    RebuildRecentMenu(RecentList::Writes);
    BuildBands();
    pollTimer_.setInterval(15);
    connect(&pollTimer_, &QTimer::timeout, this, &MainWindow::PollJob);
    // Geometry from the settings: outer top-left and outer size. Until a window manager has framed
    // the window its frame is unknown, so the size is first taken as the inner one and corrected
    // once the frame is there (ShowAtStart).
    storedFrame_ = OnScreenFrame(settings_.window_posx, settings_.window_posy, settings_.window_x, settings_.window_y);
    settings_.window_posx = storedFrame_.x();
    settings_.window_posy = storedFrame_.y();
    settings_.window_x = storedFrame_.width();
    settings_.window_y = storedFrame_.height();
    resize(storedFrame_.size());
    move(storedFrame_.topLeft());
    // Every rebuild of the model's lists follows a change of the model or its look: the report
    // is built again once the command that caused it has finished with the model.
    view_->viewer().listsRebuilt = [this] {
        if (reportPending_) return;
        reportPending_ = true;
        QTimer::singleShot(0, this, [this] {
            reportPending_ = false;
            RefreshModelReport();
        });
    };
    UpdateCommandStates();
}

MainWindow::~MainWindow()
{
    job_.Cancel();
    if (model_) view_->WithContext([this] {
        view_->viewer().SetModel(nullptr);
        ReleaseModelLists(*model_);
    });
}

QMenu* MainWindow::MenuAt(const QString& path, bool& separatorBefore, std::map<QString, QMenu*>& menus)
{
    if (const auto found = menus.find(path); found != menus.end()) return found->second;
    const qsizetype slash = path.lastIndexOf('/');
    QMenu* menu = nullptr;
    if (slash < 0) {
        menu = menuBar()->addMenu(path);
    } else {
        // A new submenu: the row's separator goes before it, in its parent.
        QMenu* parent = MenuAt(path.left(slash), separatorBefore, menus);
        if (separatorBefore && !parent->isEmpty()) parent->addSeparator();
        separatorBefore = false;
        menu = parent->addMenu(path.mid(slash + 1));
    }
    menus[path] = menu;
    return menu;
}

void MainWindow::BuildMenus()
{
    std::map<QString, QMenu*> menus;
    // The rows of a radio group share one exclusive action group, which also makes their menu
    // items show radio marks rather than check boxes.
    std::map<RadioGroup, QActionGroup*> groups;
    for (const CommandRow& row : CommandTable()) {
        if (!IsAvailableYet(row)) continue;
        bool separatorBefore = row.separatorBefore;
        QMenu* menu = MenuAt(QString::fromUtf8(row.menu), separatorBefore, menus);
        if (separatorBefore && !menu->isEmpty()) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(row.text));
        action->setObjectName(QString("menu_%1").arg(row.number));
        action->setCheckable(row.kind != CommandKind::Push);
        if (row.shortcut) action->setShortcut(QKeySequence(QString::fromUtf8(row.shortcut), QKeySequence::PortableText));
        if (row.kind == CommandKind::Radio) {
            QActionGroup*& group = groups[row.group];
            if (!group) group = new QActionGroup(this);
            group->addAction(action);
        }
        const int number = row.number;
        connect(action, &QAction::triggered, this, [this, number] { DispatchCommand(number); });
        menuActions_[number] = action;
    }
    // The recent-files submenus are those of their "&Clear List" rows.
    const int clearRows[2] = {command::ClearRecentReads, command::ClearRecentWrites};
    for (int list = 0; list < 2; ++list) {
        const CommandRow* row = FindCommand(clearRows[list]);
        recentMenus_[list] = menus.at(QString::fromUtf8(row->menu));
        recentMenus_[list]->setObjectName(list == 0 ? "menu_recent_reads" : "menu_recent_writes");
        // The item texts may be shortened: the whole path shows as the tip.
        recentMenus_[list]->setToolTipsVisible(true);
    }
}

void MainWindow::RebuildRecentMenu(RecentList which)
{
    const int list = which == RecentList::Reads ? 0 : 1;
    QMenu* menu = recentMenus_[list];
    QAction* clear = MenuAction(list == 0 ? command::ClearRecentReads : command::ClearRecentWrites);
    for (QAction* action : recentActions_[list]) {
        menu->removeAction(action);
        // An entry may be the one whose trigger is running.
        action->deleteLater();
    }
    recentActions_[list].clear();
    const RecentFileList& entries = recent_[which];
    const int first = list == 0 ? command::RecentReadFirst : command::RecentWriteFirst;
    for (int i = 0; i < entries.count; ++i) {
        const QString path = QString::fromStdString(entries.paths[i]);
        auto* action = new QAction(RecentMenuText(path), menu);
        action->setObjectName(QString("menu_%1").arg(first + i));
        action->setToolTip(path);
        action->setStatusTip(path);
        const int number = first + i;
        connect(action, &QAction::triggered, this, [this, number] { DispatchCommand(number); });
        menu->insertAction(clear, action);
        recentActions_[list].push_back(action);
    }
    // The separator is there also when the list is empty.
    QAction* separator = menu->insertSeparator(clear);
    separator->setObjectName(
        QString("menu_%1").arg(list == 0 ? command::RecentReadsSeparator : command::RecentWritesSeparator));
    recentActions_[list].push_back(separator);
}

void MainWindow::AddRecent(RecentList which, const QString& path)
{
    AddRecentPath(recent_[which], QFileInfo(path).absoluteFilePath().toStdString());
    RebuildRecentMenu(which);
    SaveRecentLists(recent_);
}

void MainWindow::AddRecentWrite(const QString& path)
{
    AddRecent(RecentList::Writes, path);
}

void MainWindow::ClearRecent(RecentList which)
{
    ClearRecentList(recent_[which]);
    RebuildRecentMenu(which);
    SaveRecentLists(recent_);
}

void MainWindow::OpenRecentEntry(int command)
{
    const bool reads = command < command::RecentWriteFirst;
    const int index = command - (reads ? command::RecentReadFirst : command::RecentWriteFirst);
    const RecentFileList& list = recent_[reads ? RecentList::Reads : RecentList::Writes];
    if (job_.Running() || index < 0 || index >= list.count) return;
    StartModelLoad(QString::fromStdString(list.paths[index]));
}

void MainWindow::Saved(const SaveOutcome& outcome)
{
    if (saveFinished_) saveFinished_(outcome);
}

void MainWindow::BuildBands()
{
    statusBand_ = new QToolBar("Status", this);
    statusBand_->setObjectName("StatusBand");
    for (int part = 0; part < 2; ++part) {
        statusParts_[part] = new QLabel(part == 0 ? "No file loaded" : kNoPolygons);
        statusParts_[part]->setObjectName(QString("status_part%1").arg(part));
        statusParts_[part]->setTextFormat(Qt::PlainText);
        statusParts_[part]->setMinimumWidth(part == 0 ? 220 : 180);
        statusParts_[part]->setContentsMargins(6, 0, 6, 0);
        statusBand_->addWidget(statusParts_[part]);
    }

    // The tool band: the rows with a button, by slot; a gap in the slots is a separator.
    toolBand_ = new QToolBar("Tools", this);
    toolBand_->setObjectName("ToolBand");
    toolBand_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBand_->setIconSize(QSize(kToolIconSize, kToolIconSize));
    // Labels a point smaller than the menus and no gaps between buttons: all eighteen slots fit
    // the window's first-start width.
    QFont labelFont = toolBand_->font();
    labelFont.setPointSizeF(std::max(6.0, labelFont.pointSizeF() - 1.0));
    toolBand_->setFont(labelFont);
    toolBand_->layout()->setSpacing(0);
    std::vector<const CommandRow*> rows;
    for (const CommandRow& row : CommandTable()) {
        if (row.button.slot != 0) rows.push_back(&row);
    }
    std::sort(rows.begin(), rows.end(), [](const CommandRow* a, const CommandRow* b) {
        return a->button.slot < b->button.slot;
    });
    int previousSlot = 0;
    for (const CommandRow* row : rows) {
        if (previousSlot != 0 && row->button.slot > previousSlot + 1) toolBand_->addSeparator();
        previousSlot = row->button.slot;
        QAction* action = toolBand_->addAction(ToolbarIcon(row->button.label), QString::fromUtf8(row->button.label));
        action->setObjectName(QString("button_%1").arg(row->alias));
        action->setToolTip(QString::fromUtf8(row->button.tooltip));
        action->setCheckable(row->kind != CommandKind::Push);
        const int alias = row->alias;
        connect(action, &QAction::triggered, this, [this, alias] { DispatchCommand(alias); });
        buttons_[alias] = action;
    }

    // Each band lives in the bar its settings name (1000 top, 1001 bottom), in index order, on a
    // new line when its flag says so; it can be dragged within that bar only.
    struct Band {
        QToolBar* bar;
        int parent;
        int newline;
        int index;
    };
    Band bands[2] = {{statusBand_, settings_.coolbar_band_1_parent, settings_.coolbar_band_1_newline,
                      settings_.coolbar_band_1_index},
                     {toolBand_, settings_.coolbar_band_2_parent, settings_.coolbar_band_2_newline,
                      settings_.coolbar_band_2_index}};
    std::stable_sort(std::begin(bands), std::end(bands), [](const Band& a, const Band& b) { return a.index < b.index; });
    bool areaUsed[2] = {false, false};
    for (const Band& band : bands) {
        const bool bottom = band.parent == 1001;
        const Qt::ToolBarArea area = bottom ? Qt::BottomToolBarArea : Qt::TopToolBarArea;
        if (areaUsed[bottom] && band.newline) addToolBarBreak(area);
        addToolBar(area, band.bar);
        band.bar->setAllowedAreas(area);
        band.bar->setFloatable(false);
        areaUsed[bottom] = true;
    }
}

void MainWindow::RecordBandPlacement()
{
    auto record = [this](QToolBar* bar, int& parent, int& newline, int16_t& index, int& left, int& right, int& top,
                         int& bottom) {
        const Qt::ToolBarArea area = toolBarArea(bar);
        parent = area == Qt::BottomToolBarArea ? 1001 : 1000;
        // Order of the bands within the same bar: by line, then along it.
        QList<QToolBar*> same;
        for (QToolBar* other : {statusBand_, toolBand_}) {
            if (toolBarArea(other) == area) same.push_back(other);
        }
        std::sort(same.begin(), same.end(), [](QToolBar* a, QToolBar* b) {
            return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
        });
        index = static_cast<int16_t>(same.indexOf(bar));
        newline = (index == 0 || toolBarBreak(bar)) ? 1 : (same[index - 1]->y() != bar->y() ? 1 : 0);
        const QRect rect = bar->geometry();
        left = rect.left();
        right = rect.right() + 1;
        top = rect.top();
        bottom = rect.bottom() + 1;
    };
    record(statusBand_, settings_.coolbar_band_1_parent, settings_.coolbar_band_1_newline,
           settings_.coolbar_band_1_index, settings_.coolbar_band_1_rect_left, settings_.coolbar_band_1_rect_right,
           settings_.coolbar_band_1_rect_top, settings_.coolbar_band_1_rect_bottom);
    record(toolBand_, settings_.coolbar_band_2_parent, settings_.coolbar_band_2_newline,
           settings_.coolbar_band_2_index, settings_.coolbar_band_2_rect_left, settings_.coolbar_band_2_rect_right,
           settings_.coolbar_band_2_rect_top, settings_.coolbar_band_2_rect_bottom);
}

QAction* MainWindow::MenuAction(int command) const
{
    const auto found = menuActions_.find(command);
    return found == menuActions_.end() ? nullptr : found->second;
}

QAction* MainWindow::ToolButton(int command) const
{
    const auto found = buttons_.find(command);
    return found == buttons_.end() ? nullptr : found->second;
}

QString MainWindow::StatusPart(int part) const
{
    return statusParts_[part]->text();
}

void MainWindow::SetStatusPart(int part, const QString& text)
{
    statusParts_[part]->setText(text);
}

void MainWindow::SetChecked(int command, bool on)
{
    if (QAction* action = MenuAction(command)) action->setChecked(on);
    const CommandRow* row = FindCommand(command);
    if (row && row->button.slot != 0) {
        if (QAction* button = ToolButton(row->alias)) button->setChecked(on);
    }
}

bool MainWindow::CommandAvailable(const CommandRow& row) const
{
    switch (row.availability) {
    case Availability::Always: return true;
    case Availability::WithModel: return model_ != nullptr;
    case Availability::WithSnapshots: return view_->viewer().snapshots.count > 0;
    }
    return false;
}

void MainWindow::UpdateCommandStates()
{
    for (const CommandRow& row : CommandTable()) {
        const bool enabled = IsAvailableYet(row) && CommandAvailable(row);
        if (QAction* action = MenuAction(row.number)) action->setEnabled(enabled);
        if (QAction* button = ToolButton(row.alias)) button->setEnabled(enabled);
    }
}

int MainWindow::ToolBandHeight() const
{
    return toolBand_ ? toolBand_->height() : 0;
}

void MainWindow::Repaint()
{
    view_->update();
}

void MainWindow::ShowAtStart()
{
    switch (settings_.window_state) {
    case 3: showMaximized(); break;
    case 2:
    case 6: showMinimized(); break;
    default: show(); break;
    }
    if (settings_.always_on_top) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        show();
    }
    if (QWindow* handle = windowHandle()) handle->installEventFilter(this);
    ArmFrameFit(storedFrame_, QMargins());
    SyncUiWithState();
    windowReady_ = true;
    commands::LoadBackgroundAtStart(*this);
}

void MainWindow::ImageLoaded(const ImageLoadOutcome& outcome)
{
    if (imageLoaded_) imageLoaded_(outcome);
}

void MainWindow::SyncUiWithState()
{
    Settings& s = settings_;
    Viewer& viewer = view_->viewer();
    for (const CommandRow& row : CommandTable()) {
        if (row.setting.kind != SettingBinding::Kind::None) SetChecked(row.number, IsChecked(row, s));
    }
    view_->WithContext([&] {
        if (s.texturing) glEnable(GL_TEXTURE_2D); else glDisable(GL_TEXTURE_2D);
        viewer.ApplyCullingState();
    });
    // Panels that were open at the last exit open again.
    if (s.file_browser && !browser_) OpenPanel(PanelId::FileBrowser);
    if (s.model_info && !info_) OpenPanel(PanelId::ModelInfo);
    if (model_) {
        SetStatusPart(0, FormatShortName(model_->formatId));
        setWindowTitle(QString("%1 - Solvane Viewer").arg(QFileInfo(currentPath_).fileName()));
        SetStatusPart(1, QString("Polygons: %1  Vertices: %2").arg(TotalFaces(*model_)).arg(TotalVertices(*model_)));
    }
    UpdateCommandStates();
    if (s.light) view_->WithContext([&] { viewer.SetLightColour(viewer.lightColor); });
    RefreshModelReport();
    RebuildRecentMenu(RecentList::Reads);
    RebuildRecentMenu(RecentList::Writes);
    Repaint();
}

// ---- Panels -------------------------------------------------------------------------------------

void MainWindow::OpenPanel(PanelId panel)
{
    if (panel == PanelId::FileBrowser) {
        if (browser_) return;
        FileBrowserPanel::Hooks hooks;
        hooks.closedByUser = [this] { SetChecked(command::FileBrowser, false); };
        hooks.openModel = [this](const QString& path) { StartModelLoad(path); };
        hooks.loadRunning = [this] { return job_.Running(); };
        hooks.focusMainWindow = [this] {
            activateWindow();
            view_->setFocus();
        };
        browser_ = new FileBrowserPanel(this, settings_, std::move(hooks));
        SetChecked(command::FileBrowser, true);
        browser_->Open();
        return;
    }
    if (info_) return;
    info_ = new InfoPanel(this, settings_, [this] { SetChecked(command::FileInfo, false); });
    SetChecked(command::FileInfo, true);
    // The report as the panel opens it: the model's own coordinates and stored values.
    info_->SetReport(BuildModelReport(model_.get(), currentPath_.toStdString(), ReportForm::Initial));
    info_->Open();
}

FileBrowserPanel* MainWindow::FileBrowser() const
{
    return browser_;
}

InfoPanel* MainWindow::Information() const
{
    return info_;
}

void MainWindow::SetPanelOpen(PanelId panel, bool open)
{
    if (open) {
        OpenPanel(panel);
        return;
    }
    if (panel == PanelId::FileBrowser && browser_) browser_->close();
    if (panel == PanelId::ModelInfo && info_) info_->close();
}

void MainWindow::ReevaluatePanelDocking()
{
    if (browser_) browser_->ReevaluateDocking();
    if (info_) info_->ReevaluateDocking();
}

void MainWindow::RefreshModelReport()
{
    if (info_) info_->SetReport(BuildModelReport(model_.get(), currentPath_.toStdString(), ReportForm::Refresh));
}

void MainWindow::MovePanelsAlong()
{
    if (!settings_.dock) return;
    if (browser_) browser_->FollowMainWindow();
    if (info_) info_->FollowMainWindow();
}

void MainWindow::PrepareSettingsForExit()
{
    RecordBandPlacement();
    if (quitWithBrowserOpen_) settings_.file_browser = 1;
    if (quitWithInfoOpen_) settings_.model_info = 1;
}

// ---- Loading ------------------------------------------------------------------------------------

void MainWindow::StartModelLoad(const QString& path)
{
    if (job_.Running()) return;
    job_.Start(path.toStdString());
    currentPath_ = QString::fromStdString(job_.Path());
    loadingBox_ = new LoadingBox(this);
    loadingBox_->setAttribute(Qt::WA_DeleteOnClose);
    // Cancel, Esc and the close box all reject the box, and so cancel the load.
    connect(loadingBox_->CancelButton(), &QPushButton::clicked, loadingBox_, &QDialog::reject);
    connect(loadingBox_, &QDialog::rejected, this, &MainWindow::CancelLoad);
    loadingBox_->show();
    Repaint();
    pollTimer_.start();
}

void MainWindow::CloseLoadingBox()
{
    // Accepting closes the box without the rejection that means "cancel".
    if (loadingBox_ && loadingBox_->isVisible()) loadingBox_->done(QDialog::Accepted);
}

void MainWindow::CancelLoad()
{
    job_.Cancel();
    pollTimer_.stop();
    CloseLoadingBox();
    if (model_) Repaint();
}

void MainWindow::PollJob()
{
    if (!job_.Running()) {
        pollTimer_.stop();
        return;
    }
    const int progress = job_.Progress();
    if (loadingBox_ && progress < 500) loadingBox_->Progress()->setValue(progress);
    // A command (its dialog, its status box) may hold the shown model: the new one waits for it.
    if (progress < 500 || commandDepth_ > 0) return;
    pollTimer_.stop();
    if (loadingBox_) {
        loadingBox_->CancelButton()->setEnabled(false);
        loadingBox_->Progress()->setValue(500);
    }
    int32_t code = 100;
    std::string reason;
    std::unique_ptr<Model> model = job_.Take(&code, &reason);
    if (model) {
        FinishLoad(std::move(model));
        if (loadFinished_) loadFinished_(job_, model_.get(), code);
    } else {
        CloseLoadingBox();
        ShowError(this, QString::fromStdString(FailureMessage(code, job_.Path(), reason)));
        if (loadFinished_) loadFinished_(job_, nullptr, code);
    }
    CloseLoadingBox();
}

void MainWindow::FinishLoad(std::unique_ptr<Model> model)
{
    Viewer& viewer = view_->viewer();
    // Close the model that was shown: its lists and textures go with it.
    if (model_) CloseModel();
    if (!model->hasTextures && model->formatId == Format::Md2) {
        QMessageBox::warning(this, "File Had Missing Information!",
                             "This Quake model contained no skin filename.  Solvane made an attempt to find an "
                             "appropriate skin file, but did not find anything.");
    }
    AddRecent(RecentList::Reads, currentPath_);
    PrepareModelData(*model, settings_);
    model_ = std::move(model);
    // A scene file restores the view it was saved with; an unreadable scene part leaves it as it is.
    if (job_.SceneFlag()) {
        SceneRecord scene;
        if (ReadNativeScene(job_.Path().c_str(), job_.SceneOffset(), scene)) {
            view_->WithContext([&] { ApplySceneRecord(viewer, settings_, scene); });
        }
    }
    std::vector<std::string> errors;
    FinishLoadedModel(*model_, settings_, &errors);
    for (const std::string& error : errors) ShowError(this, QString::fromStdString(error));

    const int64_t total = TotalFaces(*model_) * 2;
    view_->WithContext([&] {
        viewer.SetModel(model_.get());
        viewer.PrepareModelGl([&](int64_t done, int64_t) {
            if (loadingBox_ && total > 0) {
                loadingBox_->Progress()->setValue(500 + static_cast<int>(done * 500 / total));
                loadingBox_->Progress()->repaint();
            }
        });
        viewer.ResetView(job_.SceneFlag());
    });
    SyncUiWithState();
}

void MainWindow::CloseModel()
{
    if (!model_) return;
    // The snapshots belong to the model: they go with it.
    view_->WithContext([this] {
        ClearAllSnapshots(view_->viewer());
        view_->viewer().SetModel(nullptr);
        ReleaseModelLists(*model_);
    });
    model_.reset();
    UpdateCommandStates();
    SetStatusPart(0, "No file loaded");
    setWindowTitle("Solvane Viewer");
    SetStatusPart(1, kNoPolygons);
    if (info_) info_->SetReport(std::string());
    Repaint();
}

// ---- Commands -----------------------------------------------------------------------------------

void MainWindow::DispatchCommand(int received)
{
    const bool recentRead = received >= command::RecentReadFirst && received < command::RecentReadFirst + command::RecentEntries;
    const bool recentWrite =
        received >= command::RecentWriteFirst && received < command::RecentWriteFirst + command::RecentEntries;
    if (recentRead || recentWrite) {
        OpenRecentEntry(received);
        return;
    }
    const CommandRow* row = FindCommand(received);
    if (!row || !IsAvailableYet(*row)) return;  // unknown numbers and commands still to come are ignored
    if (!CommandAvailable(*row)) return;
    if (row->kind != CommandKind::Push) {
        ApplySetting(*row, settings_);
        for (const CommandRow& other : CommandTable()) {
            const bool affected = &other == row || (row->kind == CommandKind::Radio && other.group == row->group);
            if (affected) SetChecked(other.number, IsChecked(other, settings_));
        }
    }
    if (row->handler) {
        ++commandDepth_;
        row->handler(*this, *row);
        --commandDepth_;
    }
    Repaint();
}

void MainWindow::RestoreSnapshotAt(int slot)
{
    view_->WithContext([&] { RestoreSnapshot(view_->viewer(), slot); });
    // Check marks and buttons follow the restored options.
    SyncUiWithState();
}

void MainWindow::DeleteSnapshotAt(int slot)
{
    view_->WithContext([&] { DeleteSnapshot(view_->viewer(), slot); });
    UpdateCommandStates();
    Repaint();
}

// ---- Window events ------------------------------------------------------------------------------

void MainWindow::closeEvent(QCloseEvent* event)
{
    RecordBandPlacement();
    CancelLoad();
    // The panels go with the window; whether they were open is kept for the settings at exit.
    quitWithBrowserOpen_ = browser_ && browser_->isVisible();
    quitWithInfoOpen_ = info_ && info_->isVisible();
    if (browser_) browser_->CloseWithMainWindow();
    if (info_) info_->CloseWithMainWindow();
    event->accept();
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    FitStoredFrame();
    if (isMinimized() || isMaximized() || settings_.window_state == 3 || settings_.window_state == 2 ||
        settings_.window_state == 6)
        return;
    settings_.window_posx = frameGeometry().x();
    settings_.window_posy = frameGeometry().y();
    MovePanelsAlong();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!windowReady_) return;
    TrackShowState();
    if (!isMaximized() && !isMinimized()) {
        settings_.window_x = frameGeometry().width();
        settings_.window_y = frameGeometry().height();
        // Panels docked to the right or bottom edge stay against it.
        MovePanelsAlong();
    }
    FitStoredFrame();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && windowReady_) TrackShowState();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The window manager's answers: the frame may have changed without the inside moving.
    const bool news = event->type() == QEvent::Move || event->type() == QEvent::Expose;
    if (watched == windowHandle() && news) FitStoredFrame();
    return QMainWindow::eventFilter(watched, event);
}

QMargins MainWindow::FrameMargins() const
{
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                    frame.bottom() - inner.bottom());
}

void MainWindow::PlaceFrame(const QRect& outer, const QMargins& margins)
{
    placingFrame_ = true;
    setGeometry(outer.marginsRemoved(margins));
    placingFrame_ = false;
}

void MainWindow::ArmFrameFit(const QRect& outer, const QMargins& staleMargins)
{
    storedFrame_ = outer;
    staleMargins_ = staleMargins;
    fitPending_ = true;
    fitDeadline_.setRemainingTime(kFrameFitMs);
}

void MainWindow::FitStoredFrame()
{
    if (!fitPending_ || placingFrame_ || isMaximized() || isMinimized()) return;
    if (fitDeadline_.hasExpired()) {
        fitPending_ = false;
        return;
    }
    // Without a frame (none yet, or no window manager) the inner rectangle is the outer one; the
    // frame the window had before is no news either.
    const QMargins margins = FrameMargins();
    if (margins.isNull() || margins == staleMargins_) return;
    normalMargins_ = margins;
    if (frameGeometry() != storedFrame_) PlaceFrame(storedFrame_, margins);
    fitPending_ = false;
}

void MainWindow::TrackShowState()
{
    Settings& s = settings_;
    const bool nowMaximised = isMaximized();
    const int state = isMinimized() ? 2 : (nowMaximised ? 3 : 1);
    if (s.window_state == 3 && !nowMaximised && state == 1) {
        // Restored from maximised: back to the rectangle it had before. The frame of a maximised
        // window differs from the normal one, which may not be known yet: placed with the normal
        // frame last seen, then again once the window manager has framed the restored window.
        const QRect outer = OnScreenFrame(s.prev_window_posx, s.prev_window_posy, s.prev_window_x, s.prev_window_y);
        s.window_posx = outer.x();
        s.window_posy = outer.y();
        s.window_x = outer.width();
        s.window_y = outer.height();
        s.window_state = 1;
        const QMargins current = FrameMargins();
        PlaceFrame(outer, normalMargins_.isNull() ? current : normalMargins_);
        ArmFrameFit(outer, current);
    }
    if (nowMaximised && s.window_state == 1) {
        s.prev_window_posx = s.window_posx;
        s.prev_window_posy = s.window_posy;
        s.prev_window_x = s.window_x;
        s.prev_window_y = s.window_y;
    }
    maximised_ = nowMaximised;
    if (maximised_) {
        s.window_posx = 0;
        s.window_posy = 0;
    }
    s.window_state = state;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    event->acceptProposedAction();
    if (urls.size() > 1) {
        QMessageBox::warning(this, QString(), "One file at a time, please.");
        return;
    }
    if (urls.isEmpty() || job_.Running()) return;
    const QUrl& url = urls.front();
    if (!url.isLocalFile()) {
        ShowDropRefusal(url);
        return;
    }
    StartModelLoad(url.toLocalFile());
}

void MainWindow::ShowDropRefusal(const QUrl& url)
{
    // Only files on this machine are read; the note stays a few seconds, then the status returns.
    const QString shown = StatusPart(0);
    const QString note = QString("Not a local file: %1").arg(url.toDisplayString());
    SetStatusPart(0, note);
    QTimer::singleShot(kDropNoteMs, this, [this, shown, note] {
        if (StatusPart(0) == note) SetStatusPart(0, shown);
    });
}

}  // namespace solvane
