// Batching and text layout throughput on the recording context (no OpenGL), with a count of
// heap allocations per iteration: the draw path should allocate nothing once warm.

#include "AllocationCounter.h"
#include "gui/GraphicsFont.h"
#include "gui/PlayerGUI.h"
#include "gui/TextServiceFreeType.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>

// Heap allocations so far (AllocationCounter.cpp replaces operator new).


using guitest::FakeSurface;
using guitest::RecordingGraphicsContext;

namespace {

// Draws `quads` quads, alternating over `surfaces` surfaces, then flushes.
void BM_DrawImageFlush(benchmark::State& state) {
    const int surfaces = int(state.range(0));
    const int quads = 10000;
    RecordingGraphicsContext ctx;
    ctx.recordGeometry = false;
    FakeSurface a(&ctx, 256, 256), b(&ctx, 256, 256);
    FakeSurface* list[2] = {&a, &b};
    long allocations = 0;
    for (auto _ : state) {
        ctx.clearRecords();
        const long before = static_cast<long>(allocationCount().load());
        for (int i = 0; i < quads; ++i)
            ctx.drawImage(list[i % surfaces], i & 511, i & 255, 16, 16, 0, 0, 0.25f, 0.25f, 0xffffffff, 0.0f);
        ctx.flush();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.SetItemsProcessed(state.iterations() * quads);
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_DrawImageFlush)->Arg(1)->Arg(2);

std::vector<unsigned char> fontData() {
    std::ifstream in(std::string(NIMBROSTA_SOURCE_DIR) + "/assets/fonts/Inter-Regular.otf", std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void BM_DrawTextParagraph(benchmark::State& state) {
    static const std::vector<unsigned char> data = fontData();
    TextServiceFreeType service;
    RecordingGraphicsContext ctx;
    ctx.recordGeometry = false;
    GraphicsFont font(service.openFontFromMemory(data.data(), int(data.size()), false, 12, 96, 16), 1.0f);
    std::string ascii;
    const char* words[] = {"cloud", "machine", "stream", "window", "button", "the", "a", "settings", "quality"};
    for (int i = 0; i < 100; ++i) {
        ascii += words[i % 9];
        ascii += ' ';
    }
    const std::vector<std::uint32_t> text(ascii.begin(), ascii.end());
    ctx.drawText(text, 0, -1, &font, 0, 0, 400, 0, 4);  // warm the glyph cache
    ctx.flush();
    long allocations = 0;
    for (auto _ : state) {
        ctx.clearRecords();
        const long before = static_cast<long>(allocationCount().load());
        ctx.drawText(text, 0, -1, &font, 0, 0, 400, 0, 4);
        ctx.flush();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_DrawTextParagraph);

void BM_MeasureTextParagraph(benchmark::State& state) {
    static const std::vector<unsigned char> data = fontData();
    TextServiceFreeType service;
    RecordingGraphicsContext ctx;
    GraphicsFont font(service.openFontFromMemory(data.data(), int(data.size()), false, 12, 96, 16), 1.0f);
    std::string ascii;
    for (int i = 0; i < 100; ++i)
        ascii += "word ";
    const std::vector<std::uint32_t> text(ascii.begin(), ascii.end());
    for (auto _ : state) {
        int w = 400, h = 0;
        ctx.measureText(text, 0, -1, &font, &w, &h, 1);
        benchmark::DoNotOptimize(h);
    }
}
BENCHMARK(BM_MeasureTextParagraph);

// A widget that draws one fill, like a label background or a button.
class BoxWidget : public Widget {
public:
    BoxWidget(PlayerGUI* gui, int x, int y, int w, int h, int z) : Widget(gui) {
        this->x = x;
        this->y = y;
        width = w;
        height = h;
        this->z = z;
    }
    void draw(AbstractGraphicsContext* context) override { gui()->fillRect(context, x, y, width, height); }
};

// 300 widgets: a grid of cells with a few raised panels, as a busy screen has.
struct Tree {
    Tree() : ctx(900, 450), gui(nullptr, &ctx) {
        ctx.recordGeometry = false;
        for (int i = 0; i < 300; ++i)
            widgets.push_back(std::make_unique<BoxWidget>(&gui, (i % 20) * 45, (i / 20) * 30, 40, 25, i % 7 == 0 ? 5 : 0));
        gui.render(&ctx);
        ctx.flush();
    }
    RecordingGraphicsContext ctx;
    PlayerGUI gui;
    std::vector<std::unique_ptr<BoxWidget>> widgets;
};

void BM_PlayerGUIRender300(benchmark::State& state) {
    Tree tree;
    long allocations = 0;
    for (auto _ : state) {
        tree.ctx.clearRecords();
        const long before = static_cast<long>(allocationCount().load());
        tree.gui.render(&tree.ctx);
        tree.ctx.flush();
        allocations += static_cast<long>(allocationCount().load()) - before;
    }
    state.counters["allocs/iter"] = benchmark::Counter(double(allocations) / double(state.iterations()));
}
BENCHMARK(BM_PlayerGUIRender300);

void BM_PlayerGUIMouseMove300(benchmark::State& state) {
    Tree tree;
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree.gui.onMouseMove((i * 37) % 900, (i * 13) % 450));
        ++i;
    }
}
BENCHMARK(BM_PlayerGUIMouseMove300);

}  // namespace
