// Soak: one viewer window loads every model of the shared corpus in turn through the load job,
// cancels some loads at seeded random moments and switches display mode and texturing between
// loads. The viewer's live display lists and textures must always be exactly those of the model
// shown, none may outlive the last model, and resident memory must not creep from load to load.
// scripts/soak.sh runs it under AddressSanitizer and UndefinedBehaviorSanitizer.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <malloc.h>
#include <unistd.h>

#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/view_widget.h"
#include "core/format_id.h"
#include "load/load_job.h"
#include "tests/gui/gui_support.h"
#include "tests/test_support.h"
#include "viewer/gl_objects.h"
#include "viewer/model_lists.h"

namespace solvane {
namespace {

using test::WaitUntil;

extern "C" void __sanitizer_purge_allocator() __attribute__((weak));

// Resident set size of this process in KiB.
long ResidentKib()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Resident size with only live memory counted: abandoned load workers have ended, and freed memory
// has gone back to the system (AddressSanitizer's quarantine and caches of freed blocks too).
long SettledResidentKib()
{
    WaitUntil([] { return LoadJob::LiveWorkers() == 0; }, 60000);
    if (__sanitizer_purge_allocator) __sanitizer_purge_allocator();
    else malloc_trim(0);
    return ResidentKib();
}

// The corpus files the viewer reads as models (by extension, or by content when they have none),
// taking the format folders in turn: the first loads already meet every reader, so what the
// process keeps for good (the driver's compiled states, the interface's caches) is in place
// after a few loads and later growth means something is not released.
std::vector<std::string> CorpusModels()
{
    std::map<std::string, std::vector<std::string>> byFolder;
    const std::filesystem::path root = test::SharedDir() / "corpus" / "models";
    for (const auto& file : test::CorpusFiles("models")) {
        const std::string name = file.filename().string();
        const bool known = FormatFromExtension(PathExtension(name)) != Format::Unknown;
        if (!known && name.find('.') != std::string::npos) continue;
        byFolder[std::filesystem::relative(file, root).begin()->string()].push_back(file.string());
    }
    std::vector<std::string> models;
    for (size_t index = 0, added = 1; added; ++index) {
        added = 0;
        for (const auto& [folder, files] : byFolder) {
            if (index < files.size()) {
                models.push_back(files[index]);
                ++added;
            }
        }
    }
    return models;
}

// The lists and textures that the shown model, the background, the eye filter and the snapshots hold.
GlObjectCounts HeldBy(const Model* model, const Viewer& viewer)
{
    GlObjectCounts held;
    if (model) {
        for (const SubMesh& mesh : model->subMeshes) held.lists += DisplayListsOf(mesh.solidList) + DisplayListsOf(mesh.wireList);
        for (const Texture& texture : model->textures) held.textures += texture.textureHandle != 0;
    }
    held.textures += viewer.background.texture != 0;
    held.textures += viewer.eyeFilter.texture != 0;
    for (const auto& snapshot : viewer.snapshots.entries) held.textures += snapshot && snapshot->thumbTexture != 0;
    return held;
}

// Accepts every modal box that comes up (error boxes of damaged or refused files, the missing-skin
// warning) and counts them.
class BoxCloser {
public:
    BoxCloser()
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) return;
            ++closed_;
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->accept();
            else modal->close();
        });
        timer_.start();
    }
    int Closed() const { return closed_; }

private:
    QTimer timer_;
    int closed_ = 0;
};

TEST(ViewerSoak, EveryCorpusModelThroughTheLoadJob)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const std::vector<std::string> models = CorpusModels();
    ASSERT_GT(models.size(), 10u);
    const char* seedText = std::getenv("SOLVANE_SOAK_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 18u;
    std::mt19937 random(seed);

    test::FreshSession s;
    BoxCloser closer;
    MainWindow& window = *s.window;
    Viewer& viewer = window.View()->viewer();
    const int modes[] = {command::Solid, command::Wireframe, command::HiddenLines};

    auto paintOnce = [&] {
        const int before = window.View()->FramesPainted();
        window.Repaint();
        return WaitUntil([&] { return window.View()->FramesPainted() > before; }, 10000);
    };

    // Qt's own textures (the widget's framebuffer, the window's composition) share the context
    // group: what is alive before the first load is not the viewer's.
    auto aliveByGl = [&](uint32_t highest) {
        std::vector<uint32_t> lists, textures;
        window.View()->WithContext([&] {
            for (uint32_t name = 1; name <= highest; ++name) {
                if (glIsList(name)) lists.push_back(name);
                if (glIsTexture(name)) textures.push_back(name);
            }
        });
        return std::make_pair(lists, textures);
    };
    ASSERT_TRUE(paintOnce());
    const auto qtOwn = aliveByGl(4096);

    int cancelled = 0, loaded = 0, failed = 0;
    long residentAfterTenth = 0;
    uint32_t highestName = 0;
    const size_t rounds = std::getenv("SOAK_ROUNDS") ? std::strtoul(std::getenv("SOAK_ROUNDS"), nullptr, 10) : 1;
    for (size_t i = 0; i < models.size() * rounds; ++i) {
        const std::string& path = models[i % models.size()];
        SCOPED_TRACE(path);
        // Between loads: another display mode, and texturing switched now and then; the first six
        // loads meet every pair of the two.
        window.DispatchCommand(i < 6 ? modes[i % 3] : modes[random() % 3]);
        if (i < 6 ? i % 3 == 0 : random() % 2 == 1) window.DispatchCommand(command::Texturing);
        ASSERT_TRUE(paintOnce());

        const Model* before = window.CurrentModel();
        window.StartModelLoad(QString::fromStdString(path));
        // One load in three is cancelled after a random wait (it may have finished by then).
        if (random() % 3 == 0) {
            const int waitMs = static_cast<int>(random() % 40);
            WaitUntil([&] { return !window.LoadRunning(); }, waitMs);
            if (window.LoadRunning() && window.Loading()) {
                window.Loading()->reject();
                ++cancelled;
                EXPECT_FALSE(window.LoadRunning());
                EXPECT_EQ(window.CurrentModel(), before);  // a cancelled load changes nothing
            }
        }
        ASSERT_TRUE(WaitUntil([&] { return !window.LoadRunning(); }, 120000));
        if (window.CurrentModel() != before) ++loaded;
        else ++failed;
        ASSERT_TRUE(paintOnce());

        // The live GL objects are exactly those of the model on screen.
        const GlObjectCounts live = LiveGlObjects();
        const GlObjectCounts held = HeldBy(window.CurrentModel(), viewer);
        EXPECT_EQ(live.lists, held.lists);
        EXPECT_EQ(live.textures, held.textures);
        for (uint32_t name : LiveDisplayLists()) highestName = std::max(highestName, name);
        for (uint32_t name : LiveTextures()) highestName = std::max(highestName, name);
        if (i + 1 == 10) residentAfterTenth = SettledResidentKib();
        if (std::getenv("SOAK_TRACE")) std::printf("%zu %ld %s\n", i, SettledResidentKib(), path.c_str());
    }
    const long residentAfterLast = SettledResidentKib();
    std::printf("soak: seed %u, %zu models: %d shown, %d cancelled, %d not shown (%d boxes); resident after the "
                "tenth %ld KiB, after the last %ld KiB\n",
                seed, models.size(), loaded, cancelled, failed, closer.Closed(), residentAfterTenth,
                residentAfterLast);
    EXPECT_GT(cancelled, 0);
    EXPECT_GT(loaded, 10);
    // Memory after the last load is within a small margin of that after the tenth.
    EXPECT_LT(residentAfterLast - residentAfterTenth, 16 * 1024);

    // Closing the last model leaves no list and no texture behind, by the registry and by GL.
    window.DispatchCommand(command::Close);
    EXPECT_EQ(LiveGlObjects().lists, 0);
    EXPECT_EQ(LiveGlObjects().textures, 0);
    const auto alive = aliveByGl(std::max<uint32_t>(highestName + 256, 4096));
    std::vector<uint32_t> stillLists, stillTextures;
    std::set_difference(alive.first.begin(), alive.first.end(), qtOwn.first.begin(), qtOwn.first.end(),
                        std::back_inserter(stillLists));
    std::set_difference(alive.second.begin(), alive.second.end(), qtOwn.second.begin(), qtOwn.second.end(),
                        std::back_inserter(stillTextures));
    EXPECT_TRUE(stillLists.empty()) << stillLists.size() << " lists still alive, the first " << stillLists.front();
    EXPECT_TRUE(stillTextures.empty()) << stillTextures.size() << " textures still alive, the first "
                                       << stillTextures.front();
    // Cancelled workers end by themselves.
    EXPECT_TRUE(WaitUntil([] { return LoadJob::LiveWorkers() == 0; }, 60000));
}

}  // namespace
}  // namespace solvane
