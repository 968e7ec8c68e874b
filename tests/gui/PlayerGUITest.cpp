// The GUI manager on a recording context: layout, z order, hit testing, focus, capture,
// hover, modal state, threads, ownership at destruction and commands.

#include "TestSupport.h"
#include "GuiTestSupport.h"

#include "gui/AbstractGraphicsContext.h"
#include "gui/GUITasks.h"
#include "gui/GraphicsFont.h"
#include "gui/TextService.h"
#include "gui/testing/FakeFont.h"
#include "gui/testing/RecordingGraphicsContext.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

using guitest::RecordingGraphicsContext;
using guitest::RecordingHandler;
using guitest::RecordingPopupManager;
using guitest::RecordingWidget;

// The fixture carries the name of the type it tests; its own namespace keeps it apart from
// the class, which is ::PlayerGUI here.
namespace guisuite {

class PlayerGUI : public testing::Test {
protected:
    PlayerGUI() : ctx(900, 450), gui(&handler, &ctx) {}
    void render() {
        gui.render(&ctx);
        ctx.flush();
    }
    std::vector<std::string> take() {
        std::vector<std::string> out;
        out.swap(log);
        return out;
    }
    RecordingGraphicsContext ctx;
    RecordingHandler handler;
    ::PlayerGUI gui;
    std::vector<std::string> log;
};

namespace {

using V = std::vector<std::string>;

using testsupport::thrownText;

}  // namespace


TEST(Widget, AlignmentAndMarginRules) {
    RecordingGraphicsContext ctx(900, 450);
    RecordingHandler handler;
    ::PlayerGUI gui(&handler, &ctx);
    struct Case {
        int mode, size, startMargin, endMargin, start;
        int expect;
    } cases[] = {
        {0, 100, 5, 5, 37, 37},     // left alone
        {1, 100, 12, 5, 37, 12},    // start
        {2, 106, 0, 10, 37, 784},   // end: 900 - 106 - 10
        {3, 101, 0, 0, 37, 400},    // centre: 450 - 50
        {3, 100, 100, 0, 0, 450},   // centre between margins: (800 / 2) - 50 + 100
        {3, 101, 3, 4, 0, 397},     // (893 / 2 = 446) - 50 + 3 = 399? halves truncated separately
        {7, 100, 1, 1, 21, 21},     // unknown mode leaves it
    };
    cases[5].expect = (900 - 4 - 3) / 2 - 101 / 2 + 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.size));
        RecordingWidget w(&gui, nullptr, "w", c.start, c.start, c.size, c.size / 2);
        w.horizontalAlign = c.mode;
        w.verticalAlign = c.mode;
        w.setMargins(c.startMargin, c.startMargin, c.endMargin, c.endMargin);
        w.layout(900, 900, &ctx);
        EXPECT_EQ(w.x, c.expect);
        if (c.mode == 0 || c.mode == 7) {
            EXPECT_EQ(w.y, c.start);
        }
    }
    // Vertical modes use the height and the top/bottom margins.
    RecordingWidget v(&gui, nullptr, "v", 0, 0, 10, 50);
    v.verticalAlign = 2;
    v.setMargins(0, 0, 0, 20);
    v.layout(900, 450, &ctx);
    EXPECT_EQ(v.y, 380);
}

TEST(Widget, AnchorCentreAndHitTest) {
    RecordingGraphicsContext ctx(900, 450);
    RecordingHandler handler;
    ::PlayerGUI gui(&handler, &ctx);
    RecordingWidget anchor(&gui, nullptr, "a", 100, 200, 10, 10);
    RecordingWidget w(&gui, nullptr, "w", 0, 0, 40, 20);
    w.horizontalAlign = 2;  // ignored while anchored
    w.attachTo(&anchor, 5, -7);
    w.layout(900, 450, &ctx);
    EXPECT_EQ(w.x, 93);
    EXPECT_EQ(w.y, 205);
    w.attachTo(nullptr, 99, 99);  // detaches, offsets kept
    EXPECT_EQ(w.anchor(), nullptr);
    w.attachTo(&anchor, 1, 1);
    EXPECT_EQ(w.anchor(), &anchor);

    w.x = 10;
    w.y = 10;
    w.centerAt(0, 300);
    EXPECT_EQ(w.x, 10);
    EXPECT_EQ(w.y, 290);
    w.centerAt(500, 0);
    EXPECT_EQ(w.x, 480);
    EXPECT_EQ(w.y, 290);

    EXPECT_TRUE(w.hitTest(480, 290));
    EXPECT_TRUE(w.hitTest(519, 309));
    EXPECT_FALSE(w.hitTest(520, 300));
    EXPECT_FALSE(w.hitTest(479, 300));
    w.ignoreMouse = 1;
    EXPECT_FALSE(w.hitTest(490, 300));
    w.invalidate();
    EXPECT_TRUE(w.isLayoutDirty());
}

TEST_F(PlayerGUI, EqualZLaterRegisteredIsDrawnOnTopAndHitFirst) {
    RecordingWidget a(&gui, &log, "a", 0, 0, 100, 100);
    RecordingWidget b(&gui, &log, "b", 50, 50, 100, 100);
    RecordingWidget c(&gui, &log, "c", 0, 0, 10, 10);
    c.z = -5;
    render();
    EXPECT_EQ(take(), (V{"c draw", "a draw", "b draw"}));
    gui.onMouseMove(60, 60);
    gui.onMouseButton(0, true);
    EXPECT_EQ(take(), (V{"b enter", "b move 60,60", "b focus", "b down 0"}));
    // A higher z wins over registration order.
    a.z = 1;
    gui.onMouseMove(61, 61);
    EXPECT_EQ(take(), (V{"b leave", "a enter", "a move 61,61"}));
    render();
    EXPECT_EQ(take(), (V{"c draw", "b draw", "a draw"}));
    // Hidden and disabled widgets are skipped by the hit test, though they hit-test true.
    gui.setVisible(&a, false);
    gui.onMouseMove(62, 62);
    EXPECT_EQ(take(), (V{"a leave", "b enter", "b move 62,62"}));
    gui.setEnabled(&b, false);  // b held the focus since its press
    gui.onMouseMove(63, 63);
    EXPECT_EQ(take(), (V{"b blur", "b leave"}));
    EXPECT_EQ(gui.hovered(), nullptr);
}

TEST_F(PlayerGUI, PointerIsClampedIntoTheWindow) {
    render();
    gui.onMouseMove(-5, 10000);
    EXPECT_EQ(gui.mousePosition().x, 0);
    EXPECT_EQ(gui.mousePosition().y, 449);
    gui.onMouseMove(5000, -1);
    EXPECT_EQ(gui.mousePosition().x, 899);
    EXPECT_EQ(gui.mousePosition().y, 0);
    gui.onMouseButton(0, true);
    EXPECT_EQ(gui.pressPosition().x, 899);
}

TEST_F(PlayerGUI, PressFocusesAnyHoveredWidgetAndEmptySpaceClearsFocus) {
    RecordingWidget a(&gui, &log, "a", 0, 0, 10, 10);
    RecordingWidget b(&gui, &log, "b", 20, 0, 10, 10);
    render();
    gui.setFocus(&a, 1);
    EXPECT_EQ(gui.focusShown(), 1);
    take();
    gui.onMouseMove(25, 5);
    gui.onMouseButton(2, true);  // any button, not focusable
    EXPECT_EQ(take(), (V{"b enter", "b move 25,5", "a blur", "b focus", "b down 2"}));
    EXPECT_EQ(gui.focused(), &b);
    EXPECT_EQ(gui.focusShown(), 0);
    gui.onMouseButton(2, false);
    EXPECT_EQ(take(), (V{"b up 2"}));
    gui.onMouseMove(500, 300);
    take();
    gui.setFocus(&b, 1);
    EXPECT_FALSE(gui.onMouseButton(0, true));
    EXPECT_EQ(take(), (V{"b blur"}));
    EXPECT_EQ(gui.focused(), nullptr);
    EXPECT_EQ(gui.focusShown(), 0);
    EXPECT_FALSE(gui.onMouseButton(0, false));
}

TEST_F(PlayerGUI, TabNavigationOnRelease) {
    RecordingWidget a(&gui, &log, "a");
    RecordingWidget b(&gui, &log, "b");
    RecordingWidget c(&gui, &log, "c");
    a.focusable = c.focusable = 1;
    // Shift+Tab with nothing focused takes the first candidate in registration order.
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 1));
    EXPECT_EQ(gui.focused(), &a);
    EXPECT_EQ(gui.focusShown(), 1);
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 0));
    EXPECT_EQ(gui.focused(), &c);  // b is not focusable
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 0));
    EXPECT_EQ(gui.focused(), &a);  // wraps
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 1));
    EXPECT_EQ(gui.focused(), &c);  // backward wraps
    // CapsLock (0x10) and NumLock (0x20), which the player window reports among the
    // modifiers, do not stop Tab and Shift+Tab.
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 0x10 | 0x20));
    EXPECT_EQ(gui.focused(), &a);
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 1 | 0x20));
    EXPECT_EQ(gui.focused(), &c);
    EXPECT_EQ(take(), (V{"a focus", "a blur", "c focus", "c blur", "a focus", "a blur", "c focus", "c blur", "a focus",
                         "a blur", "c focus"}));
    // The press of Tab, and Tab with other modifiers, go to the focused widget.
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 1, 0));
    EXPECT_TRUE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 3));
    EXPECT_TRUE(gui.onKey(65, 0, 2, 0));
    EXPECT_TRUE(gui.onChar(0xE9));
    EXPECT_EQ(take(), (V{"c keydown 258 0", "c keyup 258 3", "c keydown 65 0", "c char 233"}));
    // The only candidate keeps the focus.
    gui.setEnabled(&a, false);
    EXPECT_TRUE(gui.focusNext(false));
    EXPECT_EQ(gui.focused(), &c);
    // No candidate: false, focus cleared.
    gui.setVisible(&c, false);
    EXPECT_EQ(gui.focused(), nullptr);
    gui.setFocus(&b, 0);
    take();
    EXPECT_FALSE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 0) && gui.focused() != nullptr);
    EXPECT_EQ(gui.focused(), nullptr);
    EXPECT_EQ(gui.focusShown(), 1);
}

TEST_F(PlayerGUI, TabWithNoWidgetsOrKeysWithoutFocus) {
    RecordingGraphicsContext ctx;
    ::PlayerGUI gui(nullptr, &ctx);
    EXPECT_FALSE(gui.focusNext(false));
    EXPECT_FALSE(gui.onKey(::PlayerGUI::kTabKey, 0, 0, 0));
    EXPECT_FALSE(gui.onKey(65, 0, 1, 0));
    EXPECT_FALSE(gui.onChar(65));
    EXPECT_FALSE(gui.onMouseMove(1, 1));
}

TEST_F(PlayerGUI, CaptureKeepsTheWidgetHoveredAndNotifiesTheHandler) {
    RecordingWidget a(&gui, &log, "a", 0, 0, 10, 10);
    RecordingWidget b(&gui, &log, "b", 20, 0, 10, 10);
    render();
    gui.onMouseMove(5, 5);
    take();
    gui.setCapture(&a);
    gui.setCapture(&a);  // again: nothing
    EXPECT_EQ(handler.events, (V{"capture started"}));
    EXPECT_TRUE(gui.isCaptured(&a));
    gui.onMouseMove(25, 5);  // over b, but a holds the capture
    EXPECT_EQ(take(), (V{"a move 25,5"}));
    gui.setCapture(nullptr);
    EXPECT_EQ(take(), (V{"a leave", "b enter"}));
    EXPECT_EQ(handler.events, (V{"capture started", "capture released"}));
    // Capturing a widget that is not hovered moves the hover to it.
    gui.setCapture(&a);
    EXPECT_EQ(take(), (V{"b leave", "a enter"}));
}

TEST_F(PlayerGUI, DestroyedCapturedWidgetLeavesNoCaptureAndTheNextRenderRehovers) {
    auto a = std::make_unique<RecordingWidget>(&gui, &log, "a", 0, 0, 10, 10);
    RecordingWidget under(&gui, &log, "under", 0, 0, 10, 10);
    under.z = -1;
    render();
    gui.onMouseMove(5, 5);
    gui.setCapture(a.get());
    handler.events.clear();
    take();
    a.reset();
    EXPECT_EQ(gui.captured(), nullptr);
    EXPECT_EQ(gui.hovered(), nullptr);
    EXPECT_TRUE(handler.events.empty());
    render();
    EXPECT_EQ(take(), (V{"under enter", "under move 5,5", "under draw"}));
}

TEST_F(PlayerGUI, HidingTheHoveredWidgetKeepsTheHoverUntilThePointerMoves) {
    RecordingWidget a(&gui, &log, "a", 0, 0, 10, 10);
    render();
    gui.onMouseMove(5, 5);
    gui.setVisible(&a, false);
    EXPECT_EQ(gui.hovered(), &a);
    gui.onMouseMove(6, 6);
    EXPECT_EQ(gui.hovered(), nullptr);
}

TEST_F(PlayerGUI, ModalStateIsReportedEveryFrame) {
    RecordingPopupManager popups;
    gui.setPopupManager(&popups);
    RecordingWidget dialog(&gui, nullptr, "d");
    dialog.modal = 1;
    render();
    gui.setVisible(&dialog, false);
    render();
    render();
    EXPECT_EQ(popups.modal, (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(gui.registerTutorialTarget(3, 2, &dialog));
    ASSERT_EQ(popups.targets.size(), 1u);
    EXPECT_EQ(popups.targets[0].page, 3);
    gui.setPopupManager(nullptr);
    EXPECT_FALSE(gui.registerTutorialTarget(3, 2, &dialog));
}

TEST_F(PlayerGUI, TickReportsRedrawsAndHiding) {
    RecordingWidget a(&gui, nullptr, "a");
    a.needsRedraw = 0;
    EXPECT_FALSE(gui.tick(1.0f));
    a.tickResult = true;
    EXPECT_TRUE(gui.tick(1.0f));
    a.tickResult = false;
    a.hideOnTick = true;
    EXPECT_TRUE(gui.tick(1.0f));  // hid itself during its tick
    a.tickResult = true;
    EXPECT_FALSE(gui.tick(1.0f));  // wants a redraw but is hidden
}

TEST_F(PlayerGUI, RenderRecordsTheDrawingThreadAndLogicalSize) {
    std::thread render([&] { gui.render(&ctx); });
    render.join();
    int w = 0, h = 0;
    gui.getSize(&w, &h);
    EXPECT_EQ(w, 900);
    EXPECT_EQ(h, 450);
    EXPECT_NE(ctx.drawingThread(), std::this_thread::get_id());
    ctx.setUIScale(1.5f);
    ctx.setDrawingThread(std::this_thread::get_id());
    gui.render(&ctx);
    gui.getSize(&w, &h);
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 300);
}

TEST_F(PlayerGUI, WidgetsAreBuiltOnlyOnTheOwnerThreadOrUnderTheLock) {
    const std::size_t before = gui.widgetCount();
    std::string error;
    std::thread other([&] { error = thrownText([&] { RecordingWidget w(&gui, nullptr, "w"); }); });
    other.join();
    EXPECT_EQ(error, "only main thread!");
    EXPECT_EQ(gui.widgetCount(), before);

    // Nested locks on the other thread: the permission lasts until the outer one ends.
    std::thread locked([&] {
        PlayerGUILock outer(&gui);
        {
            PlayerGUILock inner(&gui);
            RecordingWidget w(&gui, nullptr, "inner");
        }
        error = thrownText([&] { RecordingWidget w(&gui, nullptr, "after inner"); });
    });
    locked.join();
    EXPECT_EQ(error, "");
    std::thread after([&] { error = thrownText([&] { RecordingWidget w(&gui, nullptr, "late"); }); });
    after.join();
    EXPECT_EQ(error, "only main thread!");

    // The lock of one thread does not let another thread in.
    {
        PlayerGUILock mine(&gui);
        std::thread intruder([&] {
            error = gui.mayBuildWidgets() ? "allowed" : "refused";
        });
        intruder.join();
        EXPECT_EQ(error, "refused");
    }

    // A tick makes the ticking thread the owner.
    std::thread render([&] {
        gui.tick(0.0f);
        error = thrownText([&] { RecordingWidget w(&gui, nullptr, "render"); });
    });
    render.join();
    EXPECT_EQ(error, "");
    EXPECT_EQ(thrownText([&] { RecordingWidget w(&gui, nullptr, "main"); }), "only main thread!");
}

TEST_F(PlayerGUI, DestructionDeletesUnownedWidgetsAndDetachesSharedOnes) {
    RecordingGraphicsContext ctx;
    int destroyed = 0;
    std::shared_ptr<RecordingWidget> shared;
    {
        ::PlayerGUI gui(nullptr, &ctx);
        auto* raw = new RecordingWidget(&gui, nullptr, "raw");
        raw->destroyed = &destroyed;
        shared = std::make_shared<RecordingWidget>(&gui, nullptr, "shared");
        shared->destroyed = &destroyed;
        EXPECT_EQ(gui.widgetCount(), 2u);
    }
    EXPECT_EQ(destroyed, 1);  // the raw one
    EXPECT_EQ(shared->gui(), nullptr);
    shared.reset();  // its owner releases it later without touching the dead GUI
    EXPECT_EQ(destroyed, 2);
}

TEST_F(PlayerGUI, TasksRunAtOnceAndCommandsReachTheHandler) {
    gui.runTask(nullptr);
    auto task = std::make_shared<GUICommandTask>(42);
    auto followUp = std::make_shared<GUICommandTask>(43);
    followUp->setManager(&gui);  // follow-ups run with the task but are not given the GUI
    task->addOnSuccess(followUp);
    gui.runTask(task);
    EXPECT_EQ(task->manager(), &gui);
    EXPECT_EQ(handler.commands, (std::vector<int>{42, 43}));
    gui.sendCommand(7);
    EXPECT_EQ(handler.commands.back(), 7);
    // A command task run without a GUI has nowhere to send.
    GUICommandTask loose(9);
    EXPECT_TRUE(loose.run());
    EXPECT_EQ(handler.commands.size(), 3u);
}

TEST_F(PlayerGUI, ColourTableAndUnknownNames) {
    EXPECT_EQ(gui.colorCount(), 53u);
    EXPECT_EQ(gui.getColor("button-default"), gui.getColor("vq"));
    EXPECT_EQ(gui.getColor("bottom-button-default"), gui.getColor("vq"));
    EXPECT_EQ(gui.getColor("vq").value(), 0xffd4b916u);
    struct Case {
        const char* name;
        Color expected;
    } cases[] = {
        {"modal-panel-header", Color(17, 37, 49, 239)}, {"grey-out-player", Color(5, 7, 8, 134)},
        {"popupmenu-hover", Color(129, 219, 233, 255)}, {"transparent", Color(0, 0, 0, 0)},
        {"yellow", Color(251, 172, 11, 240)},           {"so-red", Color(244, 67, 54, 255)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gui.getColor(c.name), c.expected) << c.name;
    EXPECT_EQ(gui.getColor("Loading").value(), 0xff000000u);
    EXPECT_EQ(gui.colorCount(), 54u);
}

TEST_F(PlayerGUI, AtlasesByCaseSensitiveName) {
    struct Case {
        const char* name;
        int width, height;
    } atlases[] = {{"animation", 512, 512}, {"controls", 256, 256}, {"gamepad", 512, 512}, {"images", 512, 512},
                   {"Loading", 256, 256},   {"logo", 180, 39},      {"selectos", 512, 512}, {"updater", 512, 512}};
    for (const Case& c : atlases) {
        AbstractSurface* s = gui.getSurface(c.name);
        ASSERT_NE(s, nullptr) << c.name;
        EXPECT_EQ(s->imageWidth(), c.width) << c.name;
        EXPECT_EQ(s->imageHeight(), c.height) << c.name;
    }
    EXPECT_EQ(gui.getSurface("loading"), nullptr);
    EXPECT_EQ(gui.controlsSurface(), gui.getSurface("controls"));
}

namespace {

class CountingTextService : public AbstractTextService {
public:
    AbstractTextServiceFont* openFontFromMemory(const unsigned char* data, int size, bool, int pointSize, int dpi,
                                                int flags) override {
        calls.push_back({data, size, pointSize, dpi, flags});
        return new guitest::FakeTextServiceFont();
    }
    AbstractTextServiceFont* openFontByName(const char*, int, int, int) override { return nullptr; }
    struct Call {
        const unsigned char* data;
        int size, pointSize, dpi, flags;
    };
    std::vector<Call> calls;
};

}  // namespace

TEST_F(PlayerGUI, FontStylesAndTheFontCache) {
    CountingTextService service;
    ctx.setTextService(&service);
    ctx.setUIScale(1.25f);
    ctx.setFontDPI(138);
    EXPECT_TRUE(gui.loadFontStyles(&ctx, ""));
    ctx.setTextService(nullptr);
    EXPECT_EQ(gui.fontStyleCount(), 18u);
    const FontStyle* title = gui.fontStyle("selectos-title");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->pointSize, 22);
    EXPECT_EQ(title->dpi, 138);
    EXPECT_EQ(title->flags, 16);
    EXPECT_EQ(title->faceName, "");
    ASSERT_NE(gui.fontStyle("header"), nullptr);
    EXPECT_EQ(title->fontData, gui.fontStyle("default")->fontData);       // regular
    EXPECT_NE(title->fontData, gui.fontStyle("header")->fontData);        // bold
    EXPECT_GT(gui.fontStyle("header")->dataSize, 10000);

    GraphicsFont* header = gui.getHeaderFont();
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(header, gui.getFont("header"));
    EXPECT_FLOAT_EQ(header->scale(), 1.25f);
    ASSERT_EQ(service.calls.size(), 1u);
    EXPECT_EQ(service.calls[0].pointSize, 12);

    GraphicsFont* unknown = gui.getFont("nope");
    EXPECT_EQ(unknown, gui.getFont("nope"));
    ASSERT_EQ(service.calls.size(), 2u);
    EXPECT_EQ(service.calls[1].data, nullptr);
    EXPECT_EQ(service.calls[1].size, 0);
    EXPECT_EQ(service.calls[1].pointSize, 10);
    EXPECT_EQ(service.calls[1].dpi, 96);
    EXPECT_EQ(service.calls[1].flags, 0);
    EXPECT_EQ(gui.fontStyleCount(), 19u);
}

TEST_F(PlayerGUI, FillsUseTheWhitePatchAndTheCurrentColour) {
    AbstractSurface* controls = gui.controlsSurface();
    ASSERT_NE(controls, nullptr);
    ctx.setColor(0xff112233);
    gui.fillRect(&ctx, 10, 20, 30, 40);
    const Vertex* v = ctx.batchVertices();
    EXPECT_FLOAT_EQ(v[0].x, 10);
    EXPECT_FLOAT_EQ(v[2].y, 60);
    EXPECT_FLOAT_EQ(v[0].u, 29.0f / 256);
    EXPECT_FLOAT_EQ(v[0].v, 173.0f / 256);
    EXPECT_FLOAT_EQ(v[2].u, 33.0f / 256);
    EXPECT_FLOAT_EQ(v[2].v, 177.0f / 256);
    EXPECT_EQ(v[0].color, 0xff112233u);
    ctx.flush();
    ctx.clearRecords();

    // Modal panel: header band first, the body over it.
    gui.drawModalPanel(&ctx, 0, 0, 100, 80);
    v = ctx.batchVertices();
    EXPECT_EQ(v[0].color, gui.getColor("modal-panel-header").value());
    EXPECT_FLOAT_EQ(v[2].y, 31);
    EXPECT_EQ(v[4].color, gui.getColor("modal-panel-body").value());
    EXPECT_FLOAT_EQ(v[6].y, 80);
    ctx.flush();

    // Border with gap 2 and thickness 1 around (10, 10, 20, 5).
    gui.drawBorder(&ctx, 10, 10, 20, 5, 1, 2);
    v = ctx.batchVertices();
    const float rects[4][4] = {{8, 8, 32, 9}, {8, 17, 32, 18}, {8, 8, 9, 17}, {32, 8, 33, 18}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(v[i * 4].x, rects[i][0]);
        EXPECT_FLOAT_EQ(v[i * 4].y, rects[i][1]);
        EXPECT_FLOAT_EQ(v[i * 4 + 2].x, rects[i][2]);
        EXPECT_FLOAT_EQ(v[i * 4 + 2].y, rects[i][3]);
    }
    ctx.flush();

    gui.drawFocusOverlay(&ctx, 0, 0, 1, 1);
    EXPECT_EQ(ctx.batchVertices()[0].color, 0x60ffffffu);
    gui.drawTextSelection(&ctx, 0, 0, 1, 1);
    EXPECT_EQ(ctx.batchVertices()[4].color, 0xffff9933u);
    gui.drawLine(&ctx, {0, 0}, {10, 10}, 2);
    EXPECT_EQ(ctx.batchVertexCount(), 8 + 6);
}

TEST(ControlsRender, ButtonFrameOfZeroSizeCoversFortyFourPixels) {
    RecordingGraphicsContext ctx;
    ::PlayerGUI gui(nullptr, &ctx);
    ControlsRender render(&gui);
    render.drawButtonFrame(&ctx, 100, 50, 0, 0, false, false);
    ASSERT_EQ(ctx.batchVertexCount(), 36);
    const Vertex* v = ctx.batchVertices();
    const Rect* sources = ControlsRender::buttonFrameSources(0);
    const float cells[9][4] = {{95, 45, 115, 65},  {115, 45, 119, 65},  {119, 45, 139, 65},
                               {95, 65, 115, 69},  {115, 65, 119, 69},  {119, 65, 139, 69},
                               {95, 69, 115, 89},  {115, 69, 119, 89},  {119, 69, 139, 89}};
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        const Vertex* q = v + i * 4;
        EXPECT_FLOAT_EQ(q[0].x, cells[i][0]);
        EXPECT_FLOAT_EQ(q[0].y, cells[i][1]);
        EXPECT_FLOAT_EQ(q[2].x, cells[i][2]);
        EXPECT_FLOAT_EQ(q[2].y, cells[i][3]);
        EXPECT_FLOAT_EQ(q[0].u * 256, float(sources[i].x));
        EXPECT_FLOAT_EQ(q[0].v * 256, float(sources[i].y));
        EXPECT_FLOAT_EQ(q[2].u * 256, float(sources[i].x + sources[i].width));
        EXPECT_FLOAT_EQ(q[2].v * 256, float(sources[i].y + sources[i].height));
    }
    // The exact "button, normal" row.
    EXPECT_EQ(sources[0].x, 1);
    EXPECT_EQ(sources[0].y, 67);
    EXPECT_EQ(sources[4].x, 251);
    EXPECT_EQ(sources[8].y, 1);
}

TEST(ControlsRender, CheckBoxFrameLooksAndGlyphs) {
    RecordingGraphicsContext ctx;
    ::PlayerGUI gui(nullptr, &ctx);
    ControlsRender render(&gui);
    render.drawCheckBoxFrame(&ctx, 0, 0, 0, 0, true, true);  // pressed wins over hovered
    const Vertex* v = ctx.batchVertices();
    EXPECT_FLOAT_EQ(v[0].x, -5);
    EXPECT_FLOAT_EQ(v[8 * 4 + 2].x, 19);  // 14 + 5
    EXPECT_FLOAT_EQ(v[0].u * 256, 23);
    EXPECT_FLOAT_EQ(v[0].v * 256, 107);
    ctx.flush();

    struct Case {
        bool pressed, hovered, checked;
        int sx;
    } cases[] = {{false, false, false, 125}, {false, true, false, 143}, {true, false, false, 143},
                 {false, false, true, 161},  {false, true, true, 179},  {true, true, true, 197}};
    for (const Case& c : cases) {
        Rect rect{3, 4, 0, 0};
        render.drawCheckBox(&ctx, rect, c.pressed, c.hovered, c.checked);
        EXPECT_EQ(rect.width, 16);
        EXPECT_EQ(rect.height, 16);
        const Vertex* q = ctx.batchVertices() + ctx.batchVertexCount() - 4;
        EXPECT_FLOAT_EQ(q[0].u * 256, float(c.sx));
        EXPECT_FLOAT_EQ(q[0].v * 256, 1);
    }
    Rect size{0, 0, 3, 3};
    ControlsRender::checkBoxSize(size);
    EXPECT_EQ(size.width, 16);
}

}  // namespace guisuite
