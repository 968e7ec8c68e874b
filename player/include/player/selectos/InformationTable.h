#pragma once
// The information panel of the machine-selection screen: one service message at a time
// (title, body, one button per action) or a web-service error (title, text and an OK button
// that ends the player).
//
// Every frame it takes the model's first message once (by id, for the life of the panel)
// into its queue and, while nothing is laid out, lays out the next queued message, else the
// stored error. A message button runs a chain on the web facade's worker: dismiss the
// message, open or request the action's URLs, fetch the messages again, then post
// kCommandRestorePanels, with which the screen asks the panel to close (closeRequested).
// The screen notices laid-out content and shows the panel in place of the others.
//
// Threads: render thread (tick) and main thread (the screen's commands), both under the
// window's GUI lock. setError may come from any thread holding that lock.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/TaskBase.h"
#include "gui/Table.h"

class Button;
class IPlayerWindow;
class Static;

class InformationTable : public Table {
public:
    struct MessageAction {
        std::string text;
        TaskPtr chain;  // a SuccessTask head whose follow-ups do the action
    };
    struct MessageEntry {
        std::int32_t id = 0;
        std::string title;
        std::string body;
        std::vector<MessageAction> actions;
    };

    // Gap between the buttons' frames.
    static constexpr int kButtonSpacing = 15;
    // Space between a button's text and its left and right edges.
    static constexpr int kButtonTextMargin = 20;

    explicit InformationTable(IPlayerWindow* window);
    ~InformationTable() override;

    bool tick(double seconds) override;
    void onVisibilityChanged() override;
    void propagateZOrder() override;

    // The error shown when no message waits; it stays stored.
    void setError(const std::string& title, const std::string& text);

    // Set by the screen: when the panel closes, post kCommandStartConnectionCheck.
    bool reconnectOnClose = false;
    // A message or the error is laid out.
    bool contentShown = false;
    // The screen asked to close the content.
    bool closeRequested = false;

    // What the panel shows and holds (tests, screenshots).
    const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }
    Static* titleLabel() const { return titleLabel_.get(); }
    Static* textLabel() const { return textLabel_.get(); }
    Table* buttonsBlock() const { return buttonsBlock_.get(); }
    const std::deque<MessageEntry>& pendingMessages() const { return pendingMessages_; }

private:
    void takeMessage();
    void buildContent();
    std::shared_ptr<Button> makeButton(const std::string& text, TaskPtr task);
    void releaseContent();

    std::int32_t contentSpacing_ = 20;
    std::int32_t blockSpacing_ = 40;
    std::shared_ptr<Table> contentBlock_;
    std::shared_ptr<Table> buttonsBlock_;
    std::shared_ptr<Static> titleLabel_;
    std::shared_ptr<Static> textLabel_;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::string errorTitle_;
    std::string errorText_;
    std::deque<MessageEntry> pendingMessages_;
    IPlayerWindow* window_;
    std::vector<std::int32_t> seenMessageIds_;
};
