// solvane-cli report: loads a model as the window does and prints the information panel's report
// on it (the form built after a load), each line ended by a line feed.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/prepare.h"
#include "load/dispatch.h"
#include "load/model_report.h"
#include "tools/cli.h"
#include "tools/cli_options.h"

namespace solvane::cli {

// Loads path and finishes the model as a load in the window does (default material, size, normals,
// tessellation) with the settings' defaults; prints why on failure.
std::unique_ptr<Model> LoadModelOrSayWhy(const std::string& path)
{
    LoadContext load;
    std::unique_ptr<Model> model = LoadModelFile(path, load);
    if (!model) {
        std::string message = ResultMessage(load);
        while (!message.empty() && message.back() == '\n') message.pop_back();
        std::fprintf(stderr, "%s: %s\n", path.c_str(), message.c_str());
    }
    return model;
}

std::unique_ptr<Model> LoadPreparedModel(const std::string& path, Settings& settings)
{
    std::unique_ptr<Model> model = LoadModelOrSayWhy(path);
    if (!model) return nullptr;
    PrepareModelData(*model, settings);
    std::vector<std::string> errors;
    FinishLoadedModel(*model, settings, &errors);
    for (const std::string& error : errors) std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
    return model;
}

CommandRun AddReportCommand(CLI::App& command)
{
    auto path = std::make_shared<std::string>();
    command.add_option("FILE", *path, "the model to describe")->type_name("")->required();
    command.footer("The report is the one the viewer's \"Open 3D File Info...\" panel shows after a load: "
                   "extents in the file's own units, material values from 0 to 255.");
    return [path] {
        Settings settings = DefaultSettings();
        const std::unique_ptr<Model> model = LoadPreparedModel(*path, settings);
        if (!model) return 1;
        const std::string report = ReportWithLineFeeds(BuildModelReport(model.get(), *path, ReportForm::Refresh));
        std::fwrite(report.data(), 1, report.size(), stdout);
        return 0;
    };
}

}  // namespace solvane::cli
