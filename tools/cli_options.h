// What the subcommands share to declare their arguments: a value that does not parse is a usage
// error naming the option, the value and the form expected.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "image/image_writer.h"
#include "tools/cli_values.h"

namespace solvane::cli {

// Adds the required positional list NAME... of paths into `paths`. "--" ends the options anywhere in
// the line, so that "FILE -- -odd.obj" reads "-odd.obj" as a path too: a command otherwise gives
// "--" back to the program once its required positionals are filled. A hidden second list, never
// filled (the first takes every path), keeps "--" inside the command.
inline CLI::Option* AddPathList(CLI::App& command, const std::string& name, std::vector<std::string>& paths,
                                const std::string& description)
{
    static std::vector<std::string> neverFilled;
    CLI::Option* option = command.add_option(name, paths, description)->type_name("")->required();
    command.add_option("GUARD", neverFilled)->group("");
    return option;
}

// Adds an option that takes one value, which `parse(std::string_view) -> bool` takes in (into the
// command's options) once the line has parsed; when it returns false, the line is refused with
// "OPTION: bad value 'VALUE' (expected EXPECTED)". `valueName` names the value in the help ("WxH").
// Given more than once, the last value counts.
template <typename Parse>
CLI::Option* AddParsedOption(CLI::App& command, const std::string& name, Parse parse, const std::string& valueName,
                             const std::string& expected, const std::string& description)
{
    auto apply = [parse, name, expected](const std::string& value) {
        if (!parse(std::string_view(value))) {
            throw CLI::ValidationError(name, "bad value '" + value + "' (expected " + expected + ")");
        }
    };
    return command.add_option_function<std::string>(name, std::move(apply), description)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// Refuses an output image name whose extension names no image format the writers have.
inline CLI::Validator ImageExtensionCheck()
{
    return CLI::Validator(
        [](std::string& path) -> std::string {
            if (ImageFileTypeFromPath(path)) return {};
            return "the extension of '" + path + "' names no image format (png, bmp, jpg, pcx, ppm, tga)";
        },
        "");
}

}  // namespace solvane::cli
