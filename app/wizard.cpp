#include "app/wizard.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWizardPage>

#include <iterator>
#include <string_view>

#include "app/dialogs.h"
#include "app/toolbar_icons.h"

namespace solvane {

const AssociationBox kAssociationBoxes[18] = {
    {".svo", 1006}, {".svs", 1005}, {".3d2", 1004}, {".3ds", 1048}, {".cob", 1031}, {".scn", 1033},
    {".dxf", 1032}, {".lwo", 1034}, {".mdl", 1035}, {".md2", 1036}, {".md3", 1043}, {".nff", 1041},
    {".obj", 1037}, {".off", 1038}, {".ply", 1044}, {".pro", 1039}, {".vtk", 1040}, {".x", 1042},
};

namespace {

constexpr const char* kTitle = "Solvane Configuration Wizard";

// Texts are shown as written, blanks included.
QLabel* Text(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

// A page: the wizard's picture on the left, a group box with the page's title holding the rest.
QVBoxLayout* LayOutPage(QWizardPage* page, const QString& title)
{
    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(14);
    auto* picture = new QLabel;
    picture->setObjectName("bitmap_105");
    picture->setPixmap(WizardPicture(page->devicePixelRatioF()));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);
    auto* group = new QGroupBox(title);
    group->setObjectName("group");
    row->addWidget(group, 1);
    return new QVBoxLayout(group);
}

// Where an extension sits in the list the wizard applies.
int AssociationIndex(std::string_view extension)
{
    const auto extensions = xdg::AssociationExtensions();
    for (size_t i = 0; i < extensions.size(); ++i) {
        if (extension == extensions[i]) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

// Leaving the page, by Next or by Back, stores the radio buttons' choice; coming back shows it.
class ConfigurationWizard::ShellEntryPage : public QWizardPage {
public:
    explicit ShellEntryPage(ConfigurationWizard& wizard) : wizard_(wizard) {}
    void initializePage() override
    {
        wizard_.shellYes_->setChecked(wizard_.wantedShellEntries_);
        wizard_.shellNo_->setChecked(!wizard_.wantedShellEntries_);
    }
    bool validatePage() override
    {
        wizard_.StoreShellEntryChoice();
        return true;
    }
    // Back: store rather than reset the page, as QWizardPage would.
    void cleanupPage() override { wizard_.StoreShellEntryChoice(); }

private:
    ConfigurationWizard& wizard_;
};

ConfigurationWizard::ConfigurationWizard(QWidget* owner, bool firstStart, Settings& settings,
                                         const xdg::Folders& folders, const xdg::Program& program)
    : QWizard(owner), settings_(settings), folders_(folders), program_(program)
{
    setObjectName("ConfigurationWizard");
    setWindowTitle(kTitle);
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage, false);
    ApplyDialogLook(this);

    // What is set now.
    for (const char* extension : xdg::AssociationExtensions()) wanted_.push_back(xdg::IsAssociated(folders_, extension));
    wantedShellEntries_ = settings_.shell_extention != 0;

    if (firstStart) {
        auto* welcome = new QWizardPage;
        welcome->setObjectName("page_welcome");
        QVBoxLayout* text = LayOutPage(welcome, "Welcome To Solvane!");
        text->addWidget(Text("Since this is the first time you have started this version of Solvane, this wizard is "
                             "appearing to help you setup an initial configuration.  If you would like to use the "
                             "default settings, simply press the cancel button at any time."));
        text->addSpacing(10);
        text->addWidget(Text("You can always restart this wizard from the Options menu."));
        text->addStretch();
        addPage(welcome);
    }

    auto* associations = new QWizardPage;
    associations->setObjectName("page_associations");
    QVBoxLayout* associationLayout = LayOutPage(associations, "Associate File Types");
    associationLayout->addWidget(Text("Solvane currently supports the following file types.  Select the ones you would "
                                      "like to make Solvane the default viewer for."));
    auto* grid = new QGridLayout;
    constexpr int kRows = 6;
    for (size_t i = 0; i < std::size(kAssociationBoxes); ++i) {
        const AssociationBox& entry = kAssociationBoxes[i];
        auto* box = new QCheckBox(entry.extension);
        box->setObjectName(QString("check_%1").arg(entry.control));
        const int index = AssociationIndex(entry.extension);
        box->setChecked(wanted_[index]);
        connect(box, &QCheckBox::toggled, this, [this, index](bool on) { wanted_[index] = on; });
        grid->addWidget(box, static_cast<int>(i) % kRows, static_cast<int>(i) / kRows);
        boxes_.push_back(box);
    }
    associationLayout->addLayout(grid);
    auto* selection = new QHBoxLayout;
    auto* selectAll = new QPushButton("Select All");
    selectAll->setObjectName("select_all");
    auto* selectNone = new QPushButton("Select None");
    selectNone->setObjectName("select_none");
    selection->addWidget(selectAll);
    selection->addWidget(selectNone);
    selection->addStretch();
    connect(selectAll, &QPushButton::clicked, this, [this] {
        for (QCheckBox* box : boxes_) box->setChecked(true);
    });
    connect(selectNone, &QPushButton::clicked, this, [this] {
        for (QCheckBox* box : boxes_) box->setChecked(false);
    });
    associationLayout->addLayout(selection);
    associationLayout->addStretch();
    addPage(associations);

    auto* shell = new ShellEntryPage(*this);
    shell->setObjectName("page_shell_entry");
    QVBoxLayout* shellLayout = LayOutPage(shell, "File Manager Entry");
    shellLayout->addWidget(Text("Solvane can install a shell extension that allows you to open supported files by "
                                "right clicking on them in your file manager and selecting \"Open With Solvane\".  "
                                "Install the shell extension?"));
    shellYes_ = new QRadioButton("Yes");
    shellYes_->setObjectName("radio_1049");
    shellNo_ = new QRadioButton("No");
    shellNo_->setObjectName("radio_1050");
    shellLayout->addSpacing(8);
    shellLayout->addWidget(shellYes_);
    shellLayout->addWidget(shellNo_);
    shellLayout->addStretch();
    shellYes_->setChecked(wantedShellEntries_);
    shellNo_->setChecked(!wantedShellEntries_);
    addPage(shell);

    auto* reporting = new QWizardPage;
    reporting->setObjectName("page_reporting");
    QVBoxLayout* reportingLayout = LayOutPage(reporting, "Solvane is a Quality, User-driven Product");
    reportingLayout->addWidget(
        Text("      This version of Solvane contains a unique feature that anonymously observes how Solvane is used.  "
             "This information tells us what features and file formats to spend the most time improving, in order "
             "to make a better product for you."));
    reportingLayout->addSpacing(6);
    reportingLayout->addWidget(
        Text("     Used in conjunction with an Internet connection, Solvane will automatically give us feedback about "
             "the way it gets used.  You can change this option anytime by running this wizard again."));
    reportingOn_ = new QRadioButton("Enable Feature");
    reportingOn_->setObjectName("radio_1102");
    reportingOff_ = new QRadioButton("Disable");
    reportingOff_->setObjectName("radio_1103");
    reportingOn_->setChecked(settings_.enable_BE_stats != 0);
    reportingOff_->setChecked(settings_.enable_BE_stats == 0);
    reportingLayout->addSpacing(8);
    reportingLayout->addWidget(reportingOn_);
    reportingLayout->addWidget(reportingOff_);
    reportingLayout->addStretch();
    addPage(reporting);

    setMinimumSize(640, 400);
}

QCheckBox* ConfigurationWizard::AssociationCheckBox(const char* extension) const
{
    for (size_t i = 0; i < std::size(kAssociationBoxes); ++i) {
        if (std::string_view(kAssociationBoxes[i].extension) == extension) return boxes_[i];
    }
    return nullptr;
}

QRadioButton* ConfigurationWizard::ShellEntryRadio(bool yes) const
{
    return yes ? shellYes_ : shellNo_;
}

QRadioButton* ConfigurationWizard::ReportingRadio(bool enable) const
{
    return enable ? reportingOn_ : reportingOff_;
}

void ConfigurationWizard::StoreShellEntryChoice()
{
    wantedShellEntries_ = shellYes_->isChecked();
}

void ConfigurationWizard::accept()
{
    // Finish: the associations, the file manager entry, then the reporting switch.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    xdg::AssociationChoices choices;
    choices.associate = wanted_;
    choices.shellEntries = wantedShellEntries_;
    xdg::ApplyChoices(folders_, program_, choices, settings_);
    settings_.enable_BE_stats = reportingOn_->isChecked() ? 1 : 0;
    QApplication::restoreOverrideCursor();
    QWizard::accept();
}

xdg::Program ThisProgram()
{
    const QByteArray icon = ProgramPicturePng(256);
    return xdg::Program{QCoreApplication::applicationFilePath().toStdString(), std::string(icon.constData(), icon.size())};
}

bool RunConfigurationWizard(QWidget* owner, bool firstStart, Settings& settings)
{
    ConfigurationWizard wizard(owner, firstStart, settings, xdg::UserFolders(), ThisProgram());
    return wizard.exec() == QDialog::Accepted;
}

}  // namespace solvane
