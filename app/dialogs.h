// The program's own dialog boxes: the error box, the status boxes, the loading box, the gamma
// dialog, the About and hardware-report boxes, and the file and colour choosers.
#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QCheckBox;

namespace solvane {

// White text on red 25, green 30, blue 43.
void ApplyDialogLook(QWidget* dialog);
// Puts a parameter dialog inside the main window's bottom-left corner.
void PlaceAtBottomLeft(QWidget* dialog, QWidget* mainWindow, int toolBandHeight);

// The modal "Error Encountered..." box; with fatal set the process ends with -1 afterwards.
void ShowError(QWidget* parent, const QString& message, bool fatal = false);

// The product's web page (the About box, the update-failure text).
const char* ProductWebPage();

// The shared status text ("Status:" when idle).
QString& StatusText();

// "Status..." box with the status text and a 0..500 progress bar, shown while work runs on the
// interface thread.
class StatusBox : public QDialog {
public:
    StatusBox(QWidget* parent, bool withProgress = true);
    void SetProgress(int value);
    void SetRange(int minimum, int maximum);

private:
    QProgressBar* progress_ = nullptr;
};
// Shows the box with message, runs work (which may report progress through the box), restores
// "Status:" and closes the box.
void RunStatusTask(QWidget* parent, const QString& message, const std::function<void(StatusBox&)>& work);

// "Loading Status..." with a 0..1000 progress bar and Cancel.
class LoadingBox : public QDialog {
public:
    explicit LoadingBox(QWidget* parent);
    QProgressBar* Progress() const { return progress_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QProgressBar* progress_;
    QPushButton* cancel_;
};

// "Gamma Correction...": a 0..30 slider (tenths), live preview while ticked. apply is called with
// each gamma to show; the result is the gamma to keep (the opening one when cancelled).
float RunGammaDialog(QWidget* parent, QWidget* mainWindow, int toolBandHeight, float gamma,
                     const std::function<void(float)>& apply);

void ShowAboutBox(QWidget* parent);
void ShowHardwareReport(QWidget* parent, const QString& report);

// "Solvane Open 3D File": the chosen path, or nothing when cancelled.
std::optional<QString> ChooseModelToOpen(QWidget* parent, const QString& directory);
// The filter list of the open-model chooser.
QStringList OpenModelFilters();

// The colour chooser: black to start with, 16 custom colours preset; three floats 0..1.
std::optional<std::array<float, 3>> ChooseColor(QWidget* parent);

}  // namespace solvane
