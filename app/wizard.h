// The "Solvane Configuration Wizard": make the program the default viewer of its model types, offer
// "Open with Solvane" in the file manager, and switch usage reporting. Four pages at the first
// start (a welcome page first), three when run again from the Options menu. Finish applies the
// choices to the user's desktop folders (app/xdg_associations.h) and to the settings record;
// Cancel applies nothing. Settings are not written here: start-up writes them after the wizard,
// and a run from the menu is stored with the next write of all settings.
#pragma once

#include <QWizard>

#include <vector>

#include "app/xdg_associations.h"
#include "core/settings.h"

class QCheckBox;
class QRadioButton;

namespace solvane {

// Control numbers of the association boxes, in the page's order, and their extensions.
struct AssociationBox {
    const char* extension;
    int control;
};
extern const AssociationBox kAssociationBoxes[18];

class ConfigurationWizard : public QWizard {
public:
    // firstStart: the welcome page comes first. The state shown is read from folders and settings
    // now; program is what an association runs.
    ConfigurationWizard(QWidget* owner, bool firstStart, Settings& settings, const xdg::Folders& folders,
                        const xdg::Program& program);

    // The page objects, for tests: the association boxes by extension and the radio buttons.
    QCheckBox* AssociationCheckBox(const char* extension) const;
    QRadioButton* ShellEntryRadio(bool yes) const;
    QRadioButton* ReportingRadio(bool enable) const;
    // The choices as they stand (the shell entry's as last stored on leaving its page).
    const std::vector<bool>& WantedAssociations() const { return wanted_; }
    bool WantedShellEntries() const { return wantedShellEntries_; }

    void accept() override;

private:
    class AssociationsPage;
    class ShellEntryPage;
    void StoreShellEntryChoice();

    Settings& settings_;
    xdg::Folders folders_;
    xdg::Program program_;
    std::vector<bool> wanted_;  // one per xdg::AssociationExtensions()
    bool wantedShellEntries_ = true;
    std::vector<QCheckBox*> boxes_;
    QRadioButton* shellYes_ = nullptr;
    QRadioButton* shellNo_ = nullptr;
    QRadioButton* reportingOn_ = nullptr;
    QRadioButton* reportingOff_ = nullptr;
};

// Runs the wizard modally over owner (none at the first start) on the user's own folders; true when
// it was finished rather than cancelled.
bool RunConfigurationWizard(QWidget* owner, bool firstStart, Settings& settings);
// What an association runs: this program, with its picture for a desktop entry in the user's folder.
xdg::Program ThisProgram();

}  // namespace solvane
