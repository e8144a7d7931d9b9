// solvane-desktop-files BINDIR OUTDIR: writes the files the install step gives the desktop, for
// programs installed in BINDIR: solvane.desktop, the MIME package solvane.xml and
// solvane.thumbnailer. Run by the install step, not installed itself.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/xdg_associations.h"

namespace {

bool Write(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "solvane-desktop-files: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: solvane-desktop-files BINDIR OUTDIR\n");
        return 2;
    }
    namespace xdg = solvane::xdg;
    const std::filesystem::path bindir = argv[1], out = argv[2];
    std::error_code error;
    std::filesystem::create_directories(out, error);
    const std::string viewer = (bindir / "solvane").string();
    const bool written = Write(out / xdg::kViewerDesktopId, xdg::ViewerDesktopEntry(viewer, xdg::kIconName, false)) &&
                         Write(out / xdg::kMimePackageName, xdg::MimePackage()) &&
                         Write(out / "solvane.thumbnailer", xdg::ThumbnailerEntry());
    return written ? 0 : 1;
}
