// What a command handler may reach: the window (as parent of its dialogs), the view and its
// viewer, the shown model, the settings, and the few window operations commands start.
#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "app/recent_files.h"
#include "app/saving.h"
#include "core/model.h"
#include "core/settings.h"

class QWidget;

namespace solvane {

class StatusBox;
class ViewWidget;
class Viewer;
struct ImageLoadOutcome;
struct HtmlExportOptions;

// The panels beside the main window.
enum class PanelId { FileBrowser, ModelInfo };

class CommandContext {
public:
    virtual ~CommandContext() = default;

    virtual QWidget* Window() = 0;
    virtual ViewWidget* View() const = 0;
    virtual Settings& settings() = 0;
    // Null while no model is shown.
    virtual Model* CurrentModel() const = 0;
    // The path of the model being loaded or shown.
    virtual QString CurrentPath() const = 0;
    virtual bool LoadRunning() const = 0;
    virtual void StartModelLoad(const QString& path) = 0;
    // Releases the shown model with its GL objects; title, status and commands go back to "no model".
    virtual void CloseModel() = 0;
    virtual void SyncUiWithState() = 0;
    // Enables and greys the commands by what they need (a model, a snapshot).
    virtual void UpdateCommandStates() = 0;
    // Sets the check mark of a menu command and of its toolbar button.
    virtual void SetChecked(int command, bool on) = 0;
    virtual void RecordBandPlacement() = 0;
    virtual int ToolBandHeight() const = 0;
    virtual void Repaint() = 0;
    // Opens or closes a panel (its open flag follows).
    virtual void SetPanelOpen(PanelId panel, bool open) = 0;
    // Each open panel applies the docking rule where it is, as after a move.
    virtual void ReevaluatePanelDocking() = 0;
    // Builds the information panel's report again (the refresh form) from the shown model.
    virtual void RefreshModelReport() = 0;
    // The HTML export's options, kept for the run.
    virtual HtmlExportOptions& HtmlOptions() = 0;
    // A background or texture-map image was read (or failed to be): the open2d report.
    virtual void ImageLoaded(const ImageLoadOutcome& outcome) = 0;
    // A file was written: it heads the recent writes, which are stored and shown at once.
    virtual void AddRecentWrite(const QString& path) = 0;
    // Empties a recent-files list, stores both lists and rebuilds the list's submenu.
    virtual void ClearRecent(RecentList which) = 0;
    // A save or image export finished (or failed): the save reports.
    virtual void Saved(const SaveOutcome& outcome) = 0;

    Viewer& viewer() const;
    // Runs work with the view's GL context current.
    void WithGl(const std::function<void()>& work) const;
    // Recompiles the shown model's display lists (the shaded ones only when solidOnly).
    void RebuildLists(bool solidOnly) const;
    // The same, with the status box's 0..500 bar following the build.
    void RebuildLists(bool solidOnly, StatusBox& box) const;
    // The view's picture, drawn again afterwards; null after the error box says it could not be read.
    std::unique_ptr<Texture> CaptureViewPicture();
};

}  // namespace solvane
