#include "app/info_panel.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/utf8_text.h"
#include "load/model_report.h"

namespace solvane {
namespace {

// The report lines up its labels with blanks: a fixed-pitch font keeps the columns.
constexpr int kTextMargin = 0;

}  // namespace

QString ReportToText(const std::string& report)
{
    return QString::fromStdString(Utf8Text(ReportWithLineFeeds(report)));
}

InfoPanel::InfoPanel(QWidget* mainWindow, Settings& settings, std::function<void()> closedByUser)
    : DockedPanel(mainWindow, settings, PanelKind::ModelInfo, std::move(closedByUser))
{
    setObjectName("model_info_panel");
    setWindowTitle("Solvane File Information");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kTextMargin, kTextMargin, kTextMargin, kTextMargin);
    text_ = new QPlainTextEdit;
    text_->setObjectName("text_1009");
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // A read-only text box paints like the panel: white text on its dark background.
    QPalette palette = text_->palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, this->palette().color(QPalette::Window));
        palette.setColor(group, QPalette::Text, this->palette().color(QPalette::WindowText));
    }
    text_->setPalette(palette);
    layout->addWidget(text_);
}

void InfoPanel::SetReport(const std::string& report)
{
    const QString text = ReportToText(report);
    if (text_->toPlainText() != text) text_->setPlainText(text);
    text_->moveCursor(QTextCursor::End);
}

QString InfoPanel::Text() const
{
    return text_->toPlainText();
}

}  // namespace solvane
