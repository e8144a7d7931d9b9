// The one top-level window: menus and the two bands (status and tools) built from the command
// table, the GL view, the load job with its loading box, the settings it mirrors, and the window
// geometry it keeps in the settings.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

#include "app/commands.h"
#include "app/dialogs.h"
#include "load/load_job.h"
#include "core/model.h"
#include "core/settings.h"

class QActionGroup;
class QLabel;
class QToolBar;

namespace solvane {

class ViewWidget;

class MainWindow : public QMainWindow {
public:
    explicit MainWindow(Settings& settings);
    ~MainWindow() override;

    // Shows the window with the stored show state and brings the interface in line with the state.
    void ShowAtStart();
    // Starts loading a model (quotes stripped) unless a load is running.
    void StartModelLoad(const QString& path);
    void DispatchCommand(int command);
    void SyncUiWithState();

    Model* CurrentModel() const { return model_.get(); }
    ViewWidget* View() const { return view_; }
    bool LoadRunning() const { return job_.Running(); }
    QAction* MenuAction(int command) const;
    QAction* ToolButton(int command) const;
    QToolBar* StatusBand() const { return statusBand_; }
    QToolBar* ToolBand() const { return toolBand_; }
    QString StatusPart(int part) const;
    LoadingBox* Loading() const { return loadingBox_; }
    // The file browser / information panels were open when the window closed.
    bool QuitWithBrowserOpen() const { return false; }
    // Records the bands' placement into the settings.
    void RecordBandPlacement();
    // Called after every finished load: with the shown model on success, with null and the
    // load's result code on failure.
    using LoadFinishedHook = std::function<void(const LoadJob& job, const Model* model, int32_t resultCode)>;
    void SetLoadFinishedHook(LoadFinishedHook hook) { loadFinished_ = std::move(hook); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct MenuItem;
    void BuildMenus();
    void BuildBands();
    QAction* AddItem(QMenu* menu, int command, const char* text, bool checkable = false, QActionGroup* group = nullptr);
    void AddButton(int command, const char* label, const char* tooltip, bool checkable);
    void SetChecked(int command, bool on);
    void SetModelCommandsEnabled(bool on);

    void PollJob();
    void CancelLoad();
    void FinishLoad(std::unique_ptr<Model> model);
    void CloseModel();
    void RebuildLists(bool solidOnly);
    void Repaint();

    void SetDisplayMode(int command);
    void ToggleLighting();
    void GenerateNormalsCommand();
    void TrackShowState();
    int ToolBandHeight() const;

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
    QTimer pollTimer_;
    QPointer<LoadingBox> loadingBox_;
    bool windowReady_ = false;
    bool maximised_ = false;
    bool normalsInverted_ = false;
};

}  // namespace solvane
