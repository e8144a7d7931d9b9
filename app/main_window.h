// The one top-level window: menus and the two bands (status and tools) built from the command
// table, the GL view, the load job with its loading box, the settings it mirrors, and the window
// geometry it keeps in the settings. The commands themselves live in app/commands/.
#pragma once

#include <QDeadlineTimer>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/command_table.h"
#include "app/commands/command_context.h"
#include "app/dialogs.h"
#include "app/image_chooser.h"
#include "app/recent_files.h"
#include "app/saving.h"
#include "core/model.h"
#include "core/settings.h"
#include "load/load_job.h"
#include "viewer/html_export.h"

class QMenu;
class QUrl;
class QLabel;
class QToolBar;

namespace solvane {

class ViewWidget;
class FileBrowserPanel;
class InfoPanel;

class MainWindow : public QMainWindow, public CommandContext {
public:
    explicit MainWindow(Settings& settings);
    ~MainWindow() override;

    // Shows the window with the stored show state and brings the interface in line with the state.
    void ShowAtStart();
    // Starts loading a model (quotes stripped) unless a load is running.
    void StartModelLoad(const QString& path) override;
    // Runs a menu command or a short alias of one; unknown numbers and commands that need a model
    // while none is shown are ignored.
    void DispatchCommand(int command);
    void SyncUiWithState() override;
    void UpdateCommandStates() override;

    QWidget* Window() override { return this; }
    Settings& settings() override { return settings_; }
    Model* CurrentModel() const override { return model_.get(); }
    QString CurrentPath() const override { return currentPath_; }
    ViewWidget* View() const override { return view_; }
    bool LoadRunning() const override { return job_.Running(); }
    void CloseModel() override;
    void SetChecked(int command, bool on) override;
    int ToolBandHeight() const override;
    void Repaint() override;
    QAction* MenuAction(int command) const;
    QAction* ToolButton(int command) const;
    QToolBar* StatusBand() const { return statusBand_; }
    QToolBar* ToolBand() const { return toolBand_; }
    QString StatusPart(int part) const;
    LoadingBox* Loading() const { return loadingBox_; }
    // The file browser / information panels were open when the window closed.
    bool QuitWithBrowserOpen() const { return quitWithBrowserOpen_; }
    bool QuitWithInfoOpen() const { return quitWithInfoOpen_; }
    // Records the bands' placement into the settings.
    void RecordBandPlacement() override;
    // Before the settings are written at exit: the bands' placement, and the open flag of each
    // panel that was open when the window closed (closing the window closed the panels).
    void PrepareSettingsForExit();

    void SetPanelOpen(PanelId panel, bool open) override;
    void ReevaluatePanelDocking() override;
    void RefreshModelReport() override;
    HtmlExportOptions& HtmlOptions() override { return htmlOptions_; }
    // The panels while they are open, else null.
    FileBrowserPanel* FileBrowser() const;
    InfoPanel* Information() const;
    // Called after every finished load: with the shown model on success, with null and the
    // load's result code on failure.
    using LoadFinishedHook = std::function<void(const LoadJob& job, const Model* model, int32_t resultCode)>;
    void SetLoadFinishedHook(LoadFinishedHook hook) { loadFinished_ = std::move(hook); }
    // Called after every read of a background or texture-map image.
    void SetImageLoadedHook(ImageLoadedHook hook) { imageLoaded_ = std::move(hook); }
    void ImageLoaded(const ImageLoadOutcome& outcome) override;
    // Called after every save and image export, successful or not.
    void SetSaveFinishedHook(SaveFinishedHook hook) { saveFinished_ = std::move(hook); }
    void Saved(const SaveOutcome& outcome) override;

    // The recent-files lists, as shown in their submenus and stored.
    const RecentFiles& Recent() const { return recent_; }
    void AddRecentWrite(const QString& path) override;
    void ClearRecent(RecentList which) override;
    // The submenu of a list ("&Recent Reads", "Recent Writes").
    QMenu* RecentMenu(RecentList which) const { return recentMenus_[which == RecentList::Reads ? 0 : 1]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildBands();
    QMenu* MenuAt(const QString& path, bool& separatorBefore, std::map<QString, QMenu*>& menus);
    bool CommandAvailable(const CommandRow& row) const;
    void RestoreSnapshotAt(int slot);
    void DeleteSnapshotAt(int slot);
    void SetStatusPart(int part, const QString& text);
    // Puts path (made absolute) at the head of a list, stores both lists, rebuilds the submenu.
    void AddRecent(RecentList which, const QString& path);
    // The list's entries above its "&Clear List", then the separator.
    void RebuildRecentMenu(RecentList which);
    // A recent entry's command: opens its path unless a load runs.
    void OpenRecentEntry(int command);
    void ShowDropRefusal(const QUrl& url);

    void PollJob();
    void CancelLoad();
    void CloseLoadingBox();
    void FinishLoad(std::unique_ptr<Model> model);

    void TrackShowState();
    // Docked panels keep their place beside the window.
    void MovePanelsAlong();
    void OpenPanel(PanelId panel);
    // The window manager's frame around the window (none without a window manager).
    QMargins FrameMargins() const;
    // Puts the frame at outer, the window inside it by margins.
    void PlaceFrame(const QRect& outer, const QMargins& margins);
    // Moves the frame to outer for a while after start-up and after a restore, as soon as the
    // window manager's frame is known: when the margins are neither none nor staleMargins.
    void ArmFrameFit(const QRect& outer, const QMargins& staleMargins);
    void FitStoredFrame();
    bool eventFilter(QObject* watched, QEvent* event) override;

    Settings& settings_;
    ViewWidget* view_ = nullptr;
    QToolBar* statusBand_ = nullptr;
    QToolBar* toolBand_ = nullptr;
    QLabel* statusParts_[2] = {nullptr, nullptr};
    std::map<int, QAction*> menuActions_;
    std::map<int, QAction*> buttons_;
    std::unique_ptr<Model> model_;
    QString currentPath_;
    LoadJob job_;
    LoadFinishedHook loadFinished_;
    ImageLoadedHook imageLoaded_;
    SaveFinishedHook saveFinished_;
    RecentFiles recent_;
    QMenu* recentMenus_[2] = {nullptr, nullptr};
    std::vector<QAction*> recentActions_[2];  // the entries and the separator of each submenu
    QTimer pollTimer_;
    QPointer<LoadingBox> loadingBox_;
    bool windowReady_ = false;
    int commandDepth_ = 0;  // command handlers running (their dialogs run nested event loops)
    bool maximised_ = false;
    // The stored outer rectangle is applied once the window manager has framed the window.
    QRect storedFrame_;
    QDeadlineTimer fitDeadline_;
    bool fitPending_ = false;
    bool placingFrame_ = false;  // our own geometry change: its events carry no news of the frame
    QMargins staleMargins_;      // the frame before a restore, until the window manager changes it
    QMargins normalMargins_;     // the frame last seen in the normal state
    QPointer<FileBrowserPanel> browser_;
    QPointer<InfoPanel> info_;
    bool quitWithBrowserOpen_ = false;
    bool quitWithInfoOpen_ = false;
    bool reportPending_ = false;  // a display rebuild asked for the report; built once the command ends
    HtmlExportOptions htmlOptions_;
};

}  // namespace solvane
