// The idle-timeout choice made in the menu's dialog reaching the stand-in web service: the
// dialog hands the pick to the screen, and the screen's yes command sends it through the
// web facade.

#include "PlayerUiTestSupport.h"

#include "FnTask.h"
#include "StubService.h"
#include "gui/Button.h"
#include "player-ui/PopupTable.h"
#include "player-ui/menu/DialogTimeout.h"
#include "webapi/ClientAPIJson.h"
#include "webapi/PlayerApi.h"

#include <gtest/gtest.h>

#include <future>


TEST(DialogTimeout, ThePickedTimeReachesTheService) {
    StubService service;
    useStubService(service);
    PlayerApiTimings timings;
    timings.requestTimeoutSeconds = 2;
    timings.connectTimeoutMs = 2000;
    ::PlayerApi api(timings);
    ClientAPIJson client;
    UserInfo user;
    ASSERT_TRUE(client.requestSignIn("user@example.com", "secret", user));
    api.clientState.setUser(user);
    service.control("clear_log");

    // The in-stream screen: keeps the pick, and on the yes command sends it when there is one.
    playeruitest::Bench bench(1280, 720);
    playeruitest::ScreenCommandHandler screen;
    constexpr int kYes = 37;
    bench.handler.hook = [&](int id) {
        if (id == kYes && !screen.values.empty())
            api.setTimeout(screen.values.back());
        else
            screen.runRegisteredTask(id);
    };
    DialogTimeout dialog(bench.gui.get(), &screen, "Stop the machine when idle for", "Idle time-out", kYes);
    dialog.setVisible(true);
    bench.frame();
    bench.clickOn(*dialog.chooser->valueButton);
    bench.frame();
    bench.clickOn(*dialog.items.at(3));  // "20 minutes"
    bench.frame();
    bench.clickOn(*dialog.yesButton);

    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ran = done->get_future();
    api.post(std::make_shared<testsupport::FnTask>([done] {
        done->set_value();
        return true;
    }));
    ASSERT_EQ(ran.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const std::vector<LoggedRequest> log = service.log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].query.find("&timeout=20"), std::string::npos) << log[0].query;
}
