#include "player/stream/DebugDiagram.h"

#include <algorithm>

#include "gui/AbstractGraphicsContext.h"
#include "gui/PlayerGUI.h"
#include "gui/Static.h"
#include "player-ui/PlayerCommandIds.h"

namespace {
const char* const kFramesSeries = "SWAP BUFFERS";

int toPixels(std::int64_t units) {
    const double pixels = double(std::max<std::int64_t>(units, 0)) * DiagramLine::kPixelsPerUnit;
    return int(std::min(pixels, 1e9));
}

std::int64_t signedUnits(std::uint64_t value) {
    return std::int64_t(std::min<std::uint64_t>(value, std::uint64_t(INT64_MAX)));
}
}  // namespace

bool intervalBar(std::uint64_t referenceTime, const CollectorRecord& record, DiagramBar& out) {
    if (record.startTime >= referenceTime) return false;
    out.x = toPixels(signedUnits(referenceTime) - signedUnits(record.endTime));
    out.width = toPixels(signedUnits(record.duration));
    return true;
}

bool frameBar(std::uint64_t referenceTime, const CollectorRecord& record, DiagramBar& out) {
    if (record.startTime >= referenceTime) return false;
    out.x = toPixels(signedUnits(referenceTime) - signedUnits(record.startTime));
    out.width = 1;
    return true;
}

// ---- DiagramLine ----

DiagramLine::DiagramLine(PlayerGUI* gui, std::string series, Color colour, const std::uint64_t* referenceTime)
    : Widget(gui), series_(std::move(series)), colour_(colour), referenceTime_(referenceTime) {
    label_ = std::make_shared<Static>(gui, series_, 0, gui->getDefaultFont(), Color(0xffffffffu));
    height = DebugDiagram::kLineHeight;
}

DiagramLine::~DiagramLine() = default;

bool DiagramLine::arrange(AbstractGraphicsContext*) {
    label_->x = x;
    label_->y = y;
    return true;
}

bool DiagramLine::tick(double) {
    CAPILoader::instance().readData(series_.c_str(), records_);
    return true;
}

void DiagramLine::draw(AbstractGraphicsContext* context) {
    const int top = label_->getY() + label_->getHeight() + kBarGap;
    context->setColor(colour_.value());
    for (const CollectorRecord& r : records_) {
        DiagramBar bar;
        if (intervalBar(*referenceTime_, r, bar)) gui_->fillRect(context, x + bar.x, top, bar.width, kBarHeight);
    }
}

void DiagramLine::onVisibilityChanged() { gui_->setVisible(label_.get(), visible != 0); }

// ---- SeparateFramesDiagramLine ----

SeparateFramesDiagramLine::SeparateFramesDiagramLine(PlayerGUI* gui, const std::uint64_t* referenceTime)
    : Widget(gui), colour_(gui->getColor("white")), referenceTime_(referenceTime) {}

bool SeparateFramesDiagramLine::tick(double) {
    CAPILoader::instance().readData(kFramesSeries, records_);
    return true;
}

void SeparateFramesDiagramLine::draw(AbstractGraphicsContext* context) {
    context->setColor(colour_.value());
    for (const CollectorRecord& r : records_) {
        DiagramBar bar;
        if (frameBar(*referenceTime_, r, bar)) gui_->fillRect(context, x + bar.x, y, bar.width, height);
    }
}

// ---- DebugDiagram ----

DebugDiagram::DebugDiagram(PlayerGUI* gui) : Widget(gui) {
    frames_ = std::make_shared<SeparateFramesDiagramLine>(gui, &referenceTime_);
    lines_.push_back(std::make_shared<DiagramLine>(gui, "DECODING", gui->getColor("yellow"), &referenceTime_));
    lines_.push_back(std::make_shared<DiagramLine>(gui, "RENDERING", gui->getColor("white"), &referenceTime_));
    lines_.push_back(std::make_shared<DiagramLine>(gui, "PPACKET", gui->getColor("red"), &referenceTime_));
    x = 0;
    y = 40;
}

DebugDiagram::~DebugDiagram() = default;

bool DebugDiagram::arrange(AbstractGraphicsContext*) {
    int w = 0, h = 0;
    gui_->getSize(&w, &h);
    width = w;
    height = kLineHeight * int(lines_.size());
    frames_->x = x;
    frames_->y = y;
    frames_->width = 1;
    frames_->height = height;
    int rowY = y;
    for (const auto& line : lines_) {
        line->x = x;
        line->y = rowY;
        line->width = width;
        line->arrange(nullptr);
        rowY += kLineHeight;
    }
    return true;
}

bool DebugDiagram::tick(double) {
    std::vector<CollectorRecord> frames;
    CAPILoader::instance().readData(kFramesSeries, frames);
    if (!frames.empty()) referenceTime_ = frames.front().startTime;
    layoutDirty = 1;
    return true;
}

void DebugDiagram::onVisibilityChanged() {
    gui_->setVisible(frames_.get(), visible != 0);
    for (const auto& line : lines_) gui_->setVisible(line.get(), visible != 0);
}

// ---- DebugDiagramButton ----

DebugDiagramButton::DebugDiagramButton(PlayerGUI* gui) : Button(gui, "DD", kCommandNone, gui->getHeaderFont()) {
    horizontalAlign = 3;
    verticalAlign = 2;
}

bool DebugDiagramButton::tick(double seconds) {
    if (takeClicked()) {
        if (diagram_) diagram_.reset();
        else diagram_ = std::make_shared<DebugDiagram>(gui_);
    }
    return Button::tick(seconds);
}
