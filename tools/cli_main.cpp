// solvane-cli: the viewer's model and image readers, mesh operations and renderer from the
// command line.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli.h"

namespace {

constexpr char kProgram[] = "solvane-cli";

// The commands, in the order the help lists them. A new command is a file with its Add...Command
// and a row here.
struct Subcommand {
    const char* name;
    const char* summary;
    solvane::cli::CommandRun (*add)(CLI::App& command);
};

const Subcommand kSubcommands[] = {
    {"info", "load models, apply mesh operations, describe what they hold", solvane::cli::AddInfoCommand},
    {"image", "read a texture image, optionally write it in another image format", solvane::cli::AddImageCommand},
    {"render", "draw a model as the viewer does into an image file (PNG, BMP, JPEG, PCX, PPM, TGA), headless",
     solvane::cli::AddRenderCommand},
    {"report", "print the information panel's report on a model", solvane::cli::AddReportCommand},
    {"html", "write a web page on a model with pictures of it, as Export HTML does", solvane::cli::AddHtmlCommand},
    {"thumbnail", "draw a small picture of a model for file managers (PNG, headless)",
     solvane::cli::AddThumbnailCommand},
    {"convert", "write models in another format, one file or many in parallel", solvane::cli::AddConvertCommand},
};

// CLI11's help, less the hidden positionals in the usage line.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App* app, std::string name) const override
    {
        std::string usage = get_label("Usage") + ": " + name;
        if (!app->get_options([](const CLI::Option* option) { return option->nonpositional(); }).empty()) {
            usage += " [" + get_label("OPTIONS") + "]";
        }
        for (const CLI::Option* option : app->get_options([](const CLI::Option* o) { return o->get_positional(); })) {
            if (!option->get_group().empty()) usage += " " + make_option_usage(option);
        }
        if (!app->get_subcommands({}).empty()) usage += " " + get_label("SUBCOMMAND");
        return usage + "\n";
    }
};

bool IsCommandName(std::string_view name)
{
    if (name == "help") return true;
    for (const Subcommand& command : kSubcommands) {
        if (name == command.name) return true;
    }
    return false;
}

void Print(FILE* out, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), out);
}

// A usage error: what is wrong, naming the option or value, then where to read the usage.
int UsageError(const std::string& where, const std::string& message)
{
    Print(stderr, where + ": " + message + "\nRun '" + where + " --help' for usage.\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app("Reads 3D models and texture images as the Solvane Viewer does, and draws them without a window.",
                 kProgram);
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", std::string(kProgram) + " (Solvane Viewer) " SOLVANE_VERSION,
                         "print the program's name and version and exit");
    app.require_subcommand(1);
    auto formatter = std::make_shared<HelpFormatter>();
    formatter->label("SUBCOMMAND", "COMMAND");
    formatter->column_width(30);
    app.formatter(formatter);
    // A value given twice: the last one counts.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);

    std::vector<std::pair<CLI::App*, solvane::cli::CommandRun>> commands;
    for (const Subcommand& row : kSubcommands) {
        CLI::App* command = app.add_subcommand(row.name, row.summary)->group("Commands");
        commands.emplace_back(command, row.add(*command));
    }
    std::string topic;
    CLI::App* help = app.add_subcommand("help", "print the help of COMMAND, or this list")->group("Commands");
    help->add_option("COMMAND", topic, "the command to describe")->type_name("");
    // Set last, so that the commands do not inherit it.
    app.footer("Run 'solvane-cli COMMAND --help' for the arguments of a command.");

    // With no arguments at all, the list of commands goes to the error stream.
    if (argc < 2) {
        Print(stderr, app.help());
        return 2;
    }
    // The first argument is a command or one of the program's own options; say which was meant.
    const std::string_view first = argv[1];
    if (first.starts_with('-') && first != "-h" && first != "--help" && first != "--version") {
        return UsageError(kProgram, "unknown option '" + std::string(first) + "'");
    }
    if (!first.starts_with('-') && !IsCommandName(first)) {
        return UsageError(kProgram, "unknown command '" + std::string(first) + "'");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end the parse through this path too, with status 0.
        if (error.get_exit_code() == 0) return app.exit(error);
        const std::vector<CLI::App*> parsed = app.get_subcommands();
        const std::string where = parsed.empty() ? kProgram : std::string(kProgram) + " " + parsed.front()->get_name();
        // An argument nothing took explains the error best, even when a missing one was found first.
        const std::vector<std::string> extras = app.remaining(true);
        if (extras.empty()) return UsageError(where, error.what());
        const std::string& extra = extras.front();
        const std::vector<std::string> words(argv + 1, argv + argc);
        const auto endOfOptions = std::find(words.begin(), words.end(), "--");
        const bool isOption = extra.starts_with('-') && std::find(endOfOptions, words.end(), extra) == words.end();
        if (isOption && extra.starts_with("--")) return UsageError(where, "unknown option '" + extra + "'");
        if (isOption) {
            return UsageError(where, "unknown option '" + extra + "' (a path that begins with '-' goes after '--')");
        }
        return UsageError(where, "unexpected argument '" + extra + "'");
    }

    if (help->parsed()) {
        if (topic.empty()) {
            Print(stdout, formatter->make_help(&app, kProgram, CLI::AppFormatMode::Normal));
            return 0;
        }
        if (!IsCommandName(topic)) return UsageError("solvane-cli help", "unknown command '" + topic + "'");
        Print(stdout, app.get_subcommand(topic)->help(kProgram));
        return 0;
    }
    for (const auto& [command, run] : commands) {
        if (command->parsed()) return run();
    }
    return 2;  // require_subcommand(1) leaves no other way here
}
