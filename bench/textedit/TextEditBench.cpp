// The text edit with a long text, on the recording context with a fixed-metrics font: a
// 10,000-character paste followed by the one draw that scrolls the window to the cursor.

#include "gui/GraphicsFont.h"
#include "gui/PlayerGUI.h"
#include "gui/TextEdit.h"
#include "gui/testing/FakeFont.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <GLFW/glfw3.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

class NoCommands : public PlayerGUICommandHandler {
public:
    void onCommand(int) override {}
    void onCaptureStarted() override {}
    void onCaptureReleased() override {}
};

void BM_PasteThenDraw(benchmark::State& state) {
    const int length = int(state.range(0));
    guitest::RecordingGraphicsContext ctx(900, 450);
    ctx.recordGeometry = false;
    NoCommands handler;
    PlayerGUI gui(&handler, &ctx);
    std::unique_ptr<GraphicsFont> font(guitest::makeFakeFont());
    TextEdit edit(&gui, font.get(), Color(), false);
    edit.x = 10;
    edit.y = 10;
    edit.width = 300;
    edit.height = 34;
    std::string text;
    for (int i = 0; i < length; ++i)
        text += char('a' + i % 26);
    ctx.setClipboardText(text.c_str());
    gui.setFocus(&edit, 0);
    for (auto _ : state) {
        edit.setText(std::string(), nullptr, Color());
        gui.onKey(GLFW_KEY_V, 0, GLFW_PRESS, GLFW_MOD_CONTROL);
        gui.render(&ctx);
        ctx.flush();
        ctx.clearRecords();
        benchmark::DoNotOptimize(edit.firstVisible());
    }
    state.SetComplexityN(length);
}
BENCHMARK(BM_PasteThenDraw)->Arg(1000)->Arg(10000)->Arg(40000)->Complexity(benchmark::oN);

}  // namespace
