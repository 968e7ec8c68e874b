#pragma once
// A developer overlay over the stream or the benchmark: the recent timing marks of the
// statistics collector as bars, one row per interval series under a row of frame
// boundaries, the newest at the left. It exists only with "Debug.Diagram" set; the small
// "DD" button switches it on and off. Without a collector library the rows stay empty.
//
// Widgets of the toolkit: built, ticked and drawn on the render thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/Button.h"
#include "gui/CAPILoader.h"
#include "gui/Color.h"
#include "gui/Widget.h"

class Static;

// Where one collector record lands on a row, in pixels; false when it is not drawn
// (it starts at or after the reference time). Computed in signed 64 bits and clamped at 0,
// so an interval that ends after the reference starts at the left edge instead of wrapping.
struct DiagramBar {
    int x = 0;
    int width = 0;
};
// Interval rows: x from the record's end, width from its duration.
bool intervalBar(std::uint64_t referenceTime, const CollectorRecord& record, DiagramBar& out);
// The frames row: a 1-pixel bar at the record's start.
bool frameBar(std::uint64_t referenceTime, const CollectorRecord& record, DiagramBar& out);

class DiagramLine : public Widget {
public:
    static constexpr double kPixelsPerUnit = 0.004;
    static constexpr int kBarHeight = 15;
    static constexpr int kBarGap = 10;

    DiagramLine(PlayerGUI* gui, std::string series, Color colour, const std::uint64_t* referenceTime);
    ~DiagramLine() override;

    bool arrange(AbstractGraphicsContext* context) override;
    bool tick(double seconds) override;
    void draw(AbstractGraphicsContext* context) override;
    void onVisibilityChanged() override;

    const std::string& series() const { return series_; }
    const std::vector<CollectorRecord>& records() const { return records_; }

private:
    std::shared_ptr<Static> label_;
    std::string series_;
    Color colour_;
    std::vector<CollectorRecord> records_;
    const std::uint64_t* referenceTime_;
};

class SeparateFramesDiagramLine : public Widget {
public:
    SeparateFramesDiagramLine(PlayerGUI* gui, const std::uint64_t* referenceTime);
    bool tick(double seconds) override;
    void draw(AbstractGraphicsContext* context) override;

private:
    Color colour_;
    std::vector<CollectorRecord> records_;
    const std::uint64_t* referenceTime_;
};

class DebugDiagram : public Widget {
public:
    static constexpr int kLineHeight = 50;

    explicit DebugDiagram(PlayerGUI* gui);
    ~DebugDiagram() override;

    bool arrange(AbstractGraphicsContext* context) override;
    bool tick(double seconds) override;
    void onVisibilityChanged() override;

    std::uint64_t referenceTime() const { return referenceTime_; }
    const std::vector<std::shared_ptr<DiagramLine>>& lines() const { return lines_; }

private:
    std::shared_ptr<SeparateFramesDiagramLine> frames_;
    std::vector<std::shared_ptr<DiagramLine>> lines_;
    std::uint64_t referenceTime_ = 0;
};

class DebugDiagramButton : public Button {
public:
    explicit DebugDiagramButton(PlayerGUI* gui);
    bool tick(double seconds) override;

    // The diagram while it is shown, else null.
    const std::shared_ptr<DebugDiagram>& diagram() const { return diagram_; }

private:
    std::shared_ptr<DebugDiagram> diagram_;
};
