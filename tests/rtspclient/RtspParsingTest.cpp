// URL, RTSP message, SDP and authentication parsing.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RtspAuth.h"
#include "RtspMessage.h"
#include "RtspUrl.h"
#include "Sdp.h"

using namespace rtspclient;

TEST(RtspUrl, ParsesOrRefuses) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
        const char* path;
    };
    const Case cases[] = {
        {"rtsp://h", true, "h", 554, ""},
        {"rtsp://10.0.0.5:8554/stream/1", true, "10.0.0.5", 8554, "/stream/1"},
        {"RTSP://Host.example:1/p?x=1", true, "Host.example", 1, "/p?x=1"},
        {"rtsp://[::1]:9000/a", true, "::1", 9000, "/a"},
        {"rtsp://user:pw@h:5/p", true, "h", 5, "/p"},
        {"rtsp://h?x", true, "h", 554, "/?x"},
        {"http://h/p", false, "", 0, ""},
        {"rtsp://", false, "", 0, ""},
        {"rtsp://:554/p", false, "", 0, ""},
        {"rtsp://h:0/p", false, "", 0, ""},
        {"rtsp://h:65536/p", false, "", 0, ""},
        {"rtsp://h:/p", false, "", 0, ""},
        {"rtsp://h:12a/p", false, "", 0, ""},
        {"rtsp://h/p\r\nX-Injected: 1", false, "", 0, ""},
        {"rtsp://h/a b", false, "", 0, ""},
        {"rtsp://[::1/p", false, "", 0, ""},
        {"rtsp://h%41/p", false, "", 0, ""},
    };
    for (const Case& c : cases) {
        RtspUrl url;
        EXPECT_EQ(url.parse(c.text), c.ok) << c.text;
        if (!c.ok || !url.parse(c.text)) continue;
        EXPECT_EQ(url.host, c.host) << c.text;
        EXPECT_EQ(url.port, c.port) << c.text;
        EXPECT_EQ(url.path, c.path) << c.text;
    }
    RtspUrl url;
    ASSERT_TRUE(url.parse("rtsp://user:pw@h:5/p"));
    EXPECT_EQ(url.user, "user");
    EXPECT_EQ(url.password, "pw");
    EXPECT_EQ(url.requestUrl(), "rtsp://h:5/p");
    ASSERT_TRUE(url.parse("rtsp://[::1]:9000/a"));
    EXPECT_EQ(url.requestUrl(), "rtsp://[::1]:9000/a");
}

TEST(RtspUrl, ResolvesControlUrls) {
    struct Case {
        const char* base;
        const char* control;
        const char* expected;
    };
    const Case cases[] = {
        {"rtsp://h/s/", "stream=0", "rtsp://h/s/stream=0"},
        {"rtsp://h/s", "stream=0", "rtsp://h/s/stream=0"},
        {"rtsp://h/s/", "/stream=0", "rtsp://h/s/stream=0"},
        {"rtsp://h/s", "*", "rtsp://h/s"},
        {"rtsp://h/s", "", "rtsp://h/s"},
        {"rtsp://h/s", "rtsp://other:1/x", "rtsp://other:1/x"},
        {"rtsp://h/s", "RTSP://other/x", "RTSP://other/x"},
    };
    for (const Case& c : cases) EXPECT_EQ(resolveControlUrl(c.base, c.control), c.expected) << c.base << " + " << c.control;
}

namespace {
RtspStreamParser::Result parseAll(RtspStreamParser& parser, const std::string& text, std::size_t& consumed,
                                  RtspMessage& message, RtspStreamParser::Frame& frame) {
    return parser.parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), consumed, message, frame);
}
}  // namespace

TEST(RtspStreamParser, ResponsesFramesAndRequestsArriveInAnyCut) {
    const std::string response =
        "RTSP/1.0 200 OK\r\nCSeq: 3\r\nContent-Base: rtsp://h/s/\r\ncontent-length: 5\r\n\r\nv=0\r\n";
    const std::string frame("$\x01\x00\x03" "abc", 7);
    const std::string request = "GET_PARAMETER rtsp://h/s RTSP/1.0\nCSeq: 9\n\n";
    const std::string all = response + frame + request;

    RtspStreamParser parser;
    RtspMessage message;
    RtspStreamParser::Frame f;
    std::size_t consumed = 0;
    // Every prefix shorter than the message asks for more.
    for (std::size_t cut = 0; cut < response.size(); ++cut)
        ASSERT_EQ(parseAll(parser, response.substr(0, cut), consumed, message, f), RtspStreamParser::Result::NeedMore)
            << cut;

    std::size_t pos = 0;
    ASSERT_EQ(parseAll(parser, all, consumed, message, f), RtspStreamParser::Result::Message);
    EXPECT_TRUE(message.isResponse);
    EXPECT_EQ(message.status, 200);
    EXPECT_EQ(message.reason, "OK");
    EXPECT_EQ(message.cseq(), 3);
    ASSERT_NE(message.header("CONTENT-BASE"), nullptr);
    EXPECT_EQ(*message.header("content-base"), "rtsp://h/s/");
    EXPECT_EQ(message.body, "v=0\r\n");
    pos += consumed;

    const auto* bytes = reinterpret_cast<const std::uint8_t*>(all.data());
    ASSERT_EQ(parser.parse(bytes + pos, 6, consumed, message, f), RtspStreamParser::Result::NeedMore);
    ASSERT_EQ(parser.parse(bytes + pos, all.size() - pos, consumed, message, f), RtspStreamParser::Result::Interleaved);
    EXPECT_EQ(f.channel, 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.data), f.size), "abc");
    pos += consumed;

    ASSERT_EQ(parseAll(parser, all.substr(pos), consumed, message, f), RtspStreamParser::Result::Message);
    EXPECT_FALSE(message.isResponse);
    EXPECT_EQ(message.method, "GET_PARAMETER");
    EXPECT_EQ(message.uri, "rtsp://h/s");
    EXPECT_EQ(message.cseq(), 9);
    EXPECT_EQ(pos + consumed, all.size());
}

TEST(RtspStreamParser, RefusesWhatItCannotTrust) {
    const std::string cases[] = {
        std::string("\x01garbage\r\n\r\n"),
        "RTSP/1.0 abc OK\r\n\r\n",
        "RTSP/1.0 20 OK\r\n\r\n",
        "RTSP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n",
        "RTSP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\n",
        "RTSP/1.0 200 OK\r\nContent-Length: 600000\r\n\r\n",
        "RTSP/1.0 200 OK\r\nno colon here\r\n\r\n",
        "HELLO\r\n\r\n",
        "RTSP/1.0 200 OK\r\nX: " + std::string(40000, 'a'),
    };
    for (const std::string& text : cases) {
        RtspStreamParser parser;
        RtspMessage message;
        RtspStreamParser::Frame f;
        std::size_t consumed = 0;
        EXPECT_EQ(parseAll(parser, text, consumed, message, f), RtspStreamParser::Result::Error) << text.substr(0, 40);
        EXPECT_FALSE(parser.error().empty());
    }
}

TEST(RtspStreamParser, FindsTransportParameters) {
    const std::string t = "RTP/AVP;unicast;client_port=5000-5001;server_port=6970-6971;ssrc=1A2B";
    std::string v;
    ASSERT_TRUE(findParameter(t, "server_port", v));
    EXPECT_EQ(v, "6970-6971");
    ASSERT_TRUE(findParameter(t, "unicast", v));
    EXPECT_EQ(v, "");
    EXPECT_FALSE(findParameter(t, "interleaved", v));
    EXPECT_FALSE(findParameter(t, "server", v));
    ASSERT_TRUE(findParameter("12345678;timeout=60", "timeout", v));
    EXPECT_EQ(v, "60");
}

TEST(RtspStreamParser, ReadsRtpInfo) {
    struct Case {
        std::string value;
        std::vector<std::string> urls;
        std::vector<int> sequences;  // -1: none given
    };
    const Case cases[] = {
        {"url=rtsp://h/test/stream=0;seq=33744;rtptime=458364277, url=rtsp://h/test/stream=1;seq=32604;rtptime=9",
         {"rtsp://h/test/stream=0", "rtsp://h/test/stream=1"}, {33744, 32604}},
        {"url=trackID=1;seq=0", {"trackID=1"}, {0}},
        {"url=rtsp://h/a;rtptime=5", {"rtsp://h/a"}, {-1}},
        {"url=rtsp://h/a;seq=65536, url=rtsp://h/b;seq=-1, url=rtsp://h/c;seq=12x", {"rtsp://h/a", "rtsp://h/b", "rtsp://h/c"}, {-1, -1, -1}},
        {"seq=5, url=;seq=6, garbage", {}, {}},
        {"", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const auto entries = parseRtpInfo(c.value);
        ASSERT_EQ(entries.size(), c.urls.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].url, c.urls[i]);
            EXPECT_EQ(entries[i].haveSequence ? entries[i].sequence : -1, c.sequences[i]);
        }
    }
}

TEST(Sdp, ReadsMediaCodecsAndControls) {
    const std::string text =
        "v=0\r\n"
        "o=- 1 1 IN IP4 127.0.0.1\r\n"
        "s=Session\r\n"
        "a=control:*\r\n"
        "m=video 0 RTP/AVP 96\r\n"
        "a=rtpmap:96 H264/90000\r\n"
        "a=fmtp:96 packetization-mode=1;sprop-parameter-sets=Z0LAHtkA,aM4NyA==\r\n"
        "a=control:stream=0\r\n"
        "m=audio 0 RTP/AVP 97\r\n"
        "a=rtpmap:97 opus/48000/2\r\n"
        "a=control:rtsp://h/s/stream=1\r\n"
        "m=audio 0 RTP/AVP 0\r\n"
        "m=audio 0 RTP/AVP 98 99\r\n"
        "a=rtpmap:99 L16/44100/2\r\n"
        "a=rtpmap:98 bad\r\n"
        "m=application 0 RTP/AVP x\r\n";
    SdpSession sdp;
    std::string error;
    ASSERT_TRUE(parseSdp(text, sdp, error)) << error;
    EXPECT_EQ(sdp.control, "*");
    ASSERT_EQ(sdp.media.size(), 5u);
    EXPECT_EQ(sdp.media[0].media, "video");
    EXPECT_EQ(sdp.media[0].payloadType, 96);
    EXPECT_EQ(sdp.media[0].codec, "H264");
    EXPECT_EQ(sdp.media[0].clockRate, 90000u);
    EXPECT_EQ(sdp.media[0].control, "stream=0");
    std::string sprop;
    ASSERT_TRUE(findParameter(sdp.media[0].fmtp, "sprop-parameter-sets", sprop));
    EXPECT_EQ(sprop, "Z0LAHtkA,aM4NyA==");
    EXPECT_EQ(sdp.media[1].codec, "opus");
    EXPECT_EQ(sdp.media[1].clockRate, 48000u);
    EXPECT_EQ(sdp.media[1].channels, 2);
    EXPECT_EQ(sdp.media[1].control, "rtsp://h/s/stream=1");
    EXPECT_EQ(sdp.media[2].codec, "PCMU");  // static payload type
    EXPECT_EQ(sdp.media[2].clockRate, 8000u);
    EXPECT_EQ(sdp.media[3].payloadType, 98);  // the first format counts; its rtpmap is bad
    EXPECT_EQ(sdp.media[3].codec, "");
    EXPECT_EQ(sdp.media[4].payloadType, -1);

    EXPECT_FALSE(parseSdp("<html>not found</html>", sdp, error));
}

TEST(RtspAuth, AnswersBasicAndDigest) {
    EXPECT_EQ(base64Encode("Aladdin:open sesame"), "QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(base64Encode("a"), "YQ==");
    EXPECT_EQ(base64Encode("ab"), "YWI=");
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");

    RtspAuthenticator basic;
    basic.setCredentials("Aladdin", "open sesame");
    EXPECT_EQ(basic.authorization("DESCRIBE", "rtsp://h/"), "");
    basic.setChallenge(chooseChallenge({"Basic realm=\"x\""}));
    EXPECT_EQ(basic.authorization("DESCRIBE", "rtsp://h/"), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");

    // The worked example of RFC 2617 section 3.5.
    const AuthChallenge c = chooseChallenge(
        {"Basic realm=\"testrealm@host.com\"",
         "Digest realm=\"testrealm@host.com\", qop=\"auth,auth-int\", nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\", "
         "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""});
    ASSERT_EQ(c.scheme, AuthChallenge::Scheme::Digest);
    EXPECT_TRUE(c.qopAuth);
    RtspAuthenticator digest;
    digest.setCredentials("Mufasa", "Circle Of Life");
    digest.setChallenge(c);
    digest.setClientNonce("0a4f113b");
    const std::string header = digest.authorization("GET", "/dir/index.html");
    EXPECT_NE(header.find("response=\"6629fae49393a05397450978507c4ef1\""), std::string::npos) << header;
    EXPECT_NE(header.find("nc=00000001"), std::string::npos);
    EXPECT_NE(header.find("opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""), std::string::npos);
    EXPECT_NE(digest.authorization("GET", "/dir/index.html").find("nc=00000002"), std::string::npos);

    // Without qop: response = MD5(HA1:nonce:HA2).
    RtspAuthenticator plain;
    plain.setCredentials("u", "p");
    plain.setChallenge(chooseChallenge({"Digest realm=\"r\", nonce=\"n\""}));
    const std::string expected = md5Hex(md5Hex("u:r:p") + ":n:" + md5Hex("DESCRIBE:rtsp://h/s"));
    EXPECT_NE(plain.authorization("DESCRIBE", "rtsp://h/s").find("response=\"" + expected + "\""), std::string::npos);
}

TEST(RtspAuth, ChoosesOnlyChallengesItCanAnswer) {
    EXPECT_EQ(chooseChallenge({}).scheme, AuthChallenge::Scheme::None);
    EXPECT_EQ(chooseChallenge({"Bearer realm=\"x\""}).scheme, AuthChallenge::Scheme::None);
    EXPECT_EQ(chooseChallenge({"Digest realm=\"x\", nonce=\"n\", algorithm=SHA-256"}).scheme,
              AuthChallenge::Scheme::None);
    EXPECT_EQ(chooseChallenge({"Digest realm=\"x\", nonce=\"n\", algorithm=SHA-256", "Basic realm=\"x\""}).scheme,
              AuthChallenge::Scheme::Basic);
    EXPECT_EQ(chooseChallenge({"Digest realm=\"x\", nonce=\"unterminated"}).scheme, AuthChallenge::Scheme::None);
    const AuthChallenge stale = chooseChallenge({"Digest realm=\"x\", nonce=\"n2\", stale=TRUE"});
    EXPECT_TRUE(stale.stale);
    EXPECT_EQ(stale.nonce, "n2");
}

// Values of a challenge go back to the server inside our Authorization header: one that
// would break out of its quoted string (or out of the header line) is never answered.
TEST(RtspAuth, RefusesChallengesWhoseValuesWouldBreakTheAnswer) {
    struct Case {
        std::vector<std::string> challenges;
        const char* refusal;  // empty: answered
    };
    const Case cases[] = {
        {{"Digest realm=\"r\r\nInjected: 1\", nonce=\"n\""}, "a control character"},
        {{"Digest realm=\"r\", nonce=\"n\rx\""}, "a control character"},
        {{std::string("Digest realm=\"r\", nonce=\"n\0x\"", 29)}, "a control character"},
        {{"Digest realm=\"r\", nonce=\"n\", opaque=\"o\x7f\""}, "a control character"},
        {{"Basic realm=\"r\tx\""}, "a control character"},
        {{"Digest realm=\"a\"b\", nonce=\"n\""}, "an unescaped quote"},
        {{"Digest realm=r\"x, nonce=\"n\""}, "an unescaped quote"},
        {{"Digest realm=\"r\", nonce=n\"\", opaque=\"o\""}, "an unescaped quote"},
        {{"Digest realm=\"r\", x\"y=1, nonce=\"n\""}, "an unescaped quote"},
        // A hostile challenge spoils the good one beside it.
        {{"Basic realm=\"fine\"", "Digest realm=\"r\", nonce=\"a\"b\""}, "an unescaped quote"},
        {{"Digest realm=\"r\", nonce=\"n\""}, ""},
        {{"Digest realm = \"r\" , nonce=\"n\" ,opaque=\"o\""}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.challenges.back());
        std::string refused;
        const AuthChallenge chosen = chooseChallenge(c.challenges, &refused);
        if (*c.refusal) {
            EXPECT_EQ(chosen.scheme, AuthChallenge::Scheme::None);
            EXPECT_EQ(refused, std::string("an authentication challenge that holds ") + c.refusal);
        } else {
            EXPECT_EQ(chosen.scheme, AuthChallenge::Scheme::Digest);
            EXPECT_TRUE(refused.empty());
        }
    }

    // Escaped quotes and backslashes are values like any other: hashed as they are, sent
    // back escaped again.
    const AuthChallenge c = chooseChallenge({"Digest realm=\"say \\\"hi\\\" \\\\o/\", nonce=\"n\", opaque=\"x\\\"y\""});
    ASSERT_EQ(c.scheme, AuthChallenge::Scheme::Digest);
    EXPECT_EQ(c.realm, "say \"hi\" \\o/");
    EXPECT_EQ(c.opaque, "x\"y");
    RtspAuthenticator a;
    a.setCredentials("us\"er", "p");
    a.setChallenge(c);
    const std::string header = a.authorization("DESCRIBE", "rtsp://h/s");
    EXPECT_NE(header.find("username=\"us\\\"er\", realm=\"say \\\"hi\\\" \\\\o/\""), std::string::npos) << header;
    EXPECT_NE(header.find("opaque=\"x\\\"y\""), std::string::npos) << header;
    const std::string expected = md5Hex(md5Hex("us\"er:say \"hi\" \\o/:p") + ":n:" + md5Hex("DESCRIBE:rtsp://h/s"));
    EXPECT_NE(header.find("response=\"" + expected + "\""), std::string::npos) << header;
}
