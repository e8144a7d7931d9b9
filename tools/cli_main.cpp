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
    {"render", solvane::cli::RunRender, "render FILE OUT.png [options]   draw the model as the viewer shows it (--help lists options)"},
    {"image", solvane::cli::RunImage, "image [--json] FILE [--out OUT.ppm]   read an image, optionally write it as PPM"},
    {"convert", solvane::cli::RunConvert,
     "convert IN OUT [--as FORMAT]   write a model in another format (from OUT's extension unless --as names it)\n"
     "  convert --to FORMAT --out-dir DIR IN...   convert many models in parallel into DIR\n"
     "    FORMAT is a key of the writer table: an extension (svs, off, ply, ...), x = DirectX binary,\n"
     "    x-ascii = DirectX text; 'convert --help' lists them"},
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
