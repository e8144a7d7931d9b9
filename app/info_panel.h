// "Solvane File Information": a panel beside the main window with the report on the loaded model
// (load/model_report.h) in one read-only text box.
#pragma once

#include <string>

#include "app/docking.h"

class QPlainTextEdit;

namespace solvane {

class InfoPanel : public DockedPanel {
public:
    InfoPanel(QWidget* mainWindow, Settings& settings, std::function<void()> closedByUser);

    // Shows the report (its lines ended by "\r\n", or empty for none) with the caret at its end.
    void SetReport(const std::string& report);
    // The text as shown: one line per report line.
    QString Text() const;
    QPlainTextEdit* TextControl() const { return text_; }

private:
    QPlainTextEdit* text_;
};

// The report's bytes as text: UTF-8 when they are well-formed UTF-8, else Windows-1252 (older model
// files name their materials in a Windows code page); lines ended by a line feed alone.
QString ReportToText(const std::string& report);

}  // namespace solvane
