// solvane-cli: the viewer's model and image readers, mesh operations and renderer from the
// command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/cli.h"

namespace {

struct Subcommand {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

const Subcommand kSubcommands[] = {
    {"info", solvane::cli::RunInfo, "info [--json] [--apply OPS] FILE...   load models, apply OPS in order (comma-separated: normals, "
     "invert-normals, triangulate, tessellate, weld=TOL, decimate=FACTOR, scale=F) and describe them"},
    {"render", solvane::cli::RunRender, "render FILE OUT.{png,bmp,jpg,pcx,ppm,tga} [options]   draw the model as the viewer shows it into an image file (--help lists options)"},
    {"image", solvane::cli::RunImage, "image [--json] FILE [--out OUT.{ppm,png,bmp,jpg,pcx,tga}]   read an image, optionally write it in the format OUT names"},
};

void PrintUsage(FILE* out)
{
    std::fprintf(out, "usage: solvane-cli COMMAND [ARGS]\ncommands:\n");
    for (const Subcommand& command : kSubcommands) std::fprintf(out, "  %s\n", command.usage);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const Subcommand& command : kSubcommands) {
        if (std::strcmp(argv[1], command.name) == 0) return command.run(args);
    }
    std::fprintf(stderr, "solvane-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
