// Typed variables: value packing and subscribed users.
#include <gtest/gtest.h>

#include "stream/session/VariableBase.h"
#include "StreamTestSupport.h"

namespace {
class RecordingRemote : public IRemoteDB {
public:
    bool send(const InputClient::VariableEvent& e) override {
        sent.push_back(e);
        return true;
    }
    void attach(ClientDB*) override {}
    void detach(ClientDB*) override {}
    std::vector<InputClient::VariableEvent> sent;
};
}  // namespace

TEST(VariableBase, PacksEachTypeIntoItsField) {
    RecordingRemote remote;
    ClientDB db(&remote);
    VariableUserBase<Int32Variable> i(&db, "I");
    VariableUserBase<BoolVariable> b(&db, "B");
    VariableUserBase<ResolutionVariable> r(&db, "R");
    VariableUserBase<StringVariable> s(&db, "S");
    UInt64Variable u(&db, "U");
    db.addListener("U", nullptr);
    db.removeListener("U", nullptr);

    // Defaults on a fresh record pack to nothing and change nothing.
    EXPECT_EQ(i.set(0), ClientDB::kUnchanged);
    EXPECT_EQ(b.set(false), ClientDB::kUnchanged);
    s.set("");
    EXPECT_TRUE(remote.sent.empty());
    // A resolution always carries its sub-message.
    r.set({0, 0});
    ASSERT_EQ(remote.sent.size(), 1u);
    EXPECT_EQ(bytesOf(remote.sent[0].value()), (std::vector<int>{0x2A, 0x00}));

    remote.sent.clear();
    EXPECT_EQ(i.set(3000), 0);
    EXPECT_EQ(b.set(true), 0);
    r.set({1920, 1080});
    EXPECT_EQ(u.set(5), 0);
    ASSERT_EQ(remote.sent.size(), 4u);
    EXPECT_EQ(bytesOf(remote.sent[0].value()), (std::vector<int>{0x08, 0xB8, 0x17}));
    EXPECT_EQ(bytesOf(remote.sent[1].value()), (std::vector<int>{0x18, 0x01}));
    EXPECT_EQ(bytesOf(remote.sent[2].value()), (std::vector<int>{0x2A, 0x06, 0x08, 0x80, 0x0F, 0x10, 0xB8, 0x08}));
    EXPECT_EQ(i.get(), 3000);
    EXPECT_TRUE(b.get());
    EXPECT_EQ(r.get(), (ResolutionVariable::value_type{1920, 1080}));
    EXPECT_EQ(u.get(), 5u);
}

TEST(VariableBase, ReadsDefaultsForMissingOrBrokenValues) {
    RecordingRemote remote;
    ClientDB db(&remote);
    Int32Variable missing(&db, VariableNames::kSystemDesktopResolution);
    EXPECT_FALSE(missing.isDefined());
    EXPECT_EQ(missing.get(), 0);

    InputClient::VariableEvent e;
    e.set_event(InputClient::VARIABLE);
    e.mutable_name()->set_stringname("Broken");
    e.set_value(std::string("\x0A\x64xy", 4));  // a string field cut short
    e.set_owner(7);
    db.onServerEvent(e);
    StringVariable broken(&db, "Broken");
    EXPECT_TRUE(broken.isDefined());
    EXPECT_EQ(broken.get(), "");
}

TEST(VariableBase, UserRaisesChangedWhenTheStoreAppliesAValue) {
    RecordingRemote remote;
    ClientDB db(&remote);
    {
        VariableUserBase<Int32Variable> user(&db, "Video.Framerate");
        EXPECT_TRUE(user.isDefined());  // subscribing made the record
        EXPECT_FALSE(user.changed);
        InputClient::VariableValue v;
        v.set_int32value(60);
        InputClient::VariableEvent e;
        e.set_event(InputClient::VARIABLE);
        e.mutable_name()->set_stringname("Video.Framerate");
        e.set_value(v.SerializeAsString());
        e.set_owner(7);
        db.onServerEvent(e);
        EXPECT_TRUE(user.changed);
        EXPECT_EQ(user.get(), 60);
    }
    // The destroyed user was unsubscribed: applying another value must not reach it.
    InputClient::VariableEvent e;
    e.set_event(InputClient::VARIABLE);
    e.mutable_name()->set_stringname("Video.Framerate");
    e.set_owner(7);
    EXPECT_EQ(db.onServerEvent(e), 0);
}
