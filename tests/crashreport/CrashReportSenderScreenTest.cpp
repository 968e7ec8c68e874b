// The real CrashReportSender takes the screen under Xvfb: a screenshot of the screen as the
// crash left it, a video of the last stretch before the crash, and the report stored as a
// zip archive when the flags ask for one. A window of one colour that the test puts on the
// screen shows where the pictures come from; the pictures are saved to build/artifacts/.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <filesystem>
#include <png.h>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "CrashTestSupport.h"
#include "crashreport/CrashHandlerApi.h"

namespace fs = std::filesystem;

namespace {

struct Rgb {
    int r = 0, g = 0, b = 0;
};
bool isOrange(Rgb c) { return c.r > 200 && c.g > 90 && c.g < 170 && c.b < 60; }

// A borderless window of one colour, mapped until the end of the scope.
class ColourWindow {
public:
    ColourWindow(int x, int y, int width, int height, unsigned long rgb) : display_(XOpenDisplay(nullptr)) {
        if (!display_) return;
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = rgb;
        window_ = XCreateWindow(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWOverrideRedirect | CWBackPixel, &attributes);
        XSelectInput(display_, window_, ExposureMask);
        XMapWindow(display_, window_);
        XEvent event;
        XWindowEvent(display_, window_, ExposureMask, &event);  // it is on the screen
        XSync(display_, False);
    }
    ~ColourWindow() {
        if (!display_) return;
        XDestroyWindow(display_, window_);
        XCloseDisplay(display_);
    }
    bool shown() const { return display_ && window_; }

private:
    Display* display_;
    Window window_ = 0;
};

// A crash of the test child with the real sender, asking for the screenshot and, when
// videoMs is not 0, a video; the report folder (or archive) it left.
struct ScreenRun {
    crashtest::SenderFolder senders{crashtest::realSender()};
    testsupport::TempDir reports;
    testsupport::TempDir files;
    crashtest::ChildRun child;
    std::string parent = reports.file("NimbrostaClient_0.0.33-2-gc4ebe4b");

    ScreenRun(std::uint32_t flags, int videoMs, int waitMs) {
        testsupport::writeFile(files.file("client.log"), "line one\n");
        child = crashtest::runChild(senders.path(), reports.path(),
                                    {"screen", std::to_string(flags), std::to_string(videoMs), std::to_string(waitMs),
                                     files.file("client.log")});
    }
    // The one entry under the application's folder with the given extension ("" for the folder).
    std::string entry(const std::string& extension) const {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(parent, ec))
            if (e.path().extension() == extension) return e.path().string();
        return std::string();
    }
};

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;
    Rgb at(int x, int y) const {
        const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
        return {p[0], p[1], p[2]};
    }
};

Picture readPng(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) return Picture();
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    return picture;
}

void saveArtifact(const std::string& name, const Picture& p) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(p.width);
    image.height = static_cast<png_uint_32>(p.height);
    image.format = PNG_FORMAT_RGB;
    fs::create_directories(std::string(NIMBROSTA_BIN_DIR) + "/../artifacts");
    png_image_write_to_file(&image, (std::string(NIMBROSTA_BIN_DIR) + "/../artifacts/" + name).c_str(), 0, p.rgb.data(), 0,
                            nullptr);
}

// What a video file holds: its pictures' size and timing, and its last picture decoded.
struct Video {
    int width = 0, height = 0;
    int packets = 0;
    bool startsWithKeyFrame = false;
    double seconds = 0;  // from the first picture to the last
    std::string codec;
    Picture last;
};

Video readVideo(const std::string& path) {
    Video v;
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, path.c_str(), nullptr, nullptr) < 0) return v;
    avformat_find_stream_info(input, nullptr);
    const AVCodec* codec = nullptr;
    const int index = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (index < 0 || !codec) {
        avformat_close_input(&input);
        return v;
    }
    const AVStream* stream = input->streams[index];
    v.width = stream->codecpar->width;
    v.height = stream->codecpar->height;
    v.codec = codec->name;
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, stream->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::int64_t first = -1, lastPts = 0;
    auto take = [&] {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            v.last.width = frame->width;
            v.last.height = frame->height;
            v.last.rgb.resize(static_cast<std::size_t>(frame->width) * static_cast<std::size_t>(frame->height) * 3);
            SwsContext* toRgb = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                               frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr,
                                               nullptr);
            std::uint8_t* planes[1] = {v.last.rgb.data()};
            const int strides[1] = {frame->width * 3};
            sws_scale(toRgb, frame->data, frame->linesize, 0, frame->height, planes, strides);
            sws_freeContext(toRgb);
        }
    };
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == index) {
            if (v.packets == 0) v.startsWithKeyFrame = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            ++v.packets;
            if (first < 0) first = packet->pts;
            lastPts = packet->pts;
            avcodec_send_packet(decoder, packet);
            take();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    take();
    v.seconds = static_cast<double>(lastPts - first) * av_q2d(stream->time_base);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    return v;
}

std::string shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof(buffer), p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

constexpr int kWindowX = 200, kWindowY = 150, kWindowWidth = 400, kWindowHeight = 300;

}  // namespace

TEST(CrashReportSender, TakesTheScreenshotAndTheVideoTheReportAsksFor) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns the fault signals";
    const ColourWindow orange(kWindowX, kWindowY, kWindowWidth, kWindowHeight, 0xFF8000);
    ASSERT_TRUE(orange.shown());
    // A video of the last second, recorded for about three.
    const ScreenRun run(CR_INST_ALL_HOOKS | CR_INST_DONT_SEND_REPORT, 1000, 3000);
    EXPECT_EQ(run.child.status, 1) << run.child.out << run.child.err;
    EXPECT_EQ(run.child.out, "screenshot 0\nvideo 0\n");
    const std::string folder = run.entry("");
    ASSERT_FALSE(folder.empty()) << run.child.err;

    const Picture screenshot = readPng(folder + "/screenshot.png");
    ASSERT_EQ(screenshot.width, 1920);
    ASSERT_EQ(screenshot.height, 1080);
    saveArtifact("crash-screenshot.png", screenshot);
    EXPECT_TRUE(isOrange(screenshot.at(kWindowX + 10, kWindowY + 10)));
    EXPECT_TRUE(isOrange(screenshot.at(kWindowX + kWindowWidth - 10, kWindowY + kWindowHeight - 10)));
    EXPECT_FALSE(isOrange(screenshot.at(kWindowX - 10, kWindowY - 10)));

    const Video video = readVideo(folder + "/crashvideo.mp4");
    EXPECT_EQ(video.width, 320);
    EXPECT_EQ(video.height, 180);
    EXPECT_TRUE(video.startsWithKeyFrame);
    EXPECT_GE(video.packets, 2);
    // Only the last stretch is kept: the duration, and at most half as much again (old
    // video goes a group of pictures at a time), plus the last picture taken at the crash.
    EXPECT_LE(video.seconds, 1.5 + 0.3) << video.packets << " pictures";
    ASSERT_EQ(video.last.width, 320);
    saveArtifact("crash-video-last.png", video.last);
    // The window, scaled to 320 x 180.
    EXPECT_TRUE(isOrange(video.last.at((kWindowX + 200) / 6, (kWindowY + 150) / 6)));
    EXPECT_FALSE(isOrange(video.last.at(5, 5)));

    const std::string summary = testsupport::readFile(folder + "/crashinfo.txt");
    EXPECT_NE(summary.find("\nScreenshot: screenshot.png (1920x1080)\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\nVideo: crashvideo.mp4 (" + std::to_string(video.packets) + " pictures over "),
              std::string::npos)
        << summary;
    EXPECT_EQ(testsupport::readFile(folder + "/client.log"), "line one\n");
}

TEST(CrashReportSender, StoresTheReportAsAZipArchiveWhenAsked) {
    if (crashtest::kSanitized) GTEST_SKIP() << "the sanitizer owns the fault signals";
    const ScreenRun run(CR_INST_ALL_HOOKS | CR_INST_DONT_SEND_REPORT | CR_INST_STORE_ZIP_ARCHIVES, 0, 0);
    EXPECT_EQ(run.child.status, 1) << run.child.out << run.child.err;
    const std::string archive = run.entry(".zip");
    ASSERT_FALSE(archive.empty()) << run.child.err;
    EXPECT_TRUE(run.entry("").empty()) << "the archive takes the folder's place";
    EXPECT_NE(run.child.err.find("The crash report was saved in " + archive + "\n"), std::string::npos) << run.child.err;
    // Read back by the archive reader of Python's standard library: every entry's check sum
    // holds, and the entries are the report's files.
    const std::string listing = shell(
        "/usr/bin/python3 -c \"import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "print('bad' if z.testzip() else 'ok')\n"
        "print(' '.join(sorted(z.namelist())))\n"
        "print(z.read('client.log').decode().strip())\n"
        "print(z.read('crashinfo.txt').decode().splitlines()[0])\" " +
        archive);
    EXPECT_EQ(listing,
              "ok\nclient.log crashdump.bin crashinfo.txt screenshot.png\nline one\n"
              "Application: NimbrostaClient 0.0.33-2-gc4ebe4b\n");
}
