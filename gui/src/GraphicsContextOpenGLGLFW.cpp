#include "gui/GraphicsContextOpenGLGLFW.h"

#include "gui/CAPILoader.h"
#include "gui/TextServiceFreeType.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

GraphicsContextOpenGLGLFW::GraphicsContextOpenGLGLFW(GLFWwindow* window) : window_(window) {
    int w = 0, h = 0;
    if (window_)
        glfwGetWindowSize(window_, &w, &h);
    width_ = w;
    height_ = h;
    cursors_[0] = glfwCreateStandardCursor(GLFW_ARROW_CURSOR);
    cursors_[1] = glfwCreateStandardCursor(GLFW_IBEAM_CURSOR);
    cursors_[2] = glfwCreateStandardCursor(GLFW_HAND_CURSOR);
    textService_ = new TextServiceFreeType();
}

GraphicsContextOpenGLGLFW::~GraphicsContextOpenGLGLFW() {
    releaseVertexBuffer();
    delete textService_;
    textService_ = nullptr;
    for (GLFWcursor*& cursor : cursors_) {
        if (cursor)
            glfwDestroyCursor(cursor);
        cursor = nullptr;
    }
}

bool GraphicsContextOpenGLGLFW::endFrame() {
    flush();
    return true;
}

bool GraphicsContextOpenGLGLFW::present() {
    if (finishBeforeSwap_)
        glFinish();
    CAPILoader::instance().interval("SWAP BUFFERS", 1);
    glfwSwapBuffers(window_);
    CAPILoader::instance().interval("SWAP BUFFERS", 0);
    return true;
}

void GraphicsContextOpenGLGLFW::setWindowSize(int width, int height) {
    width_ = width;
    height_ = height;
}

void GraphicsContextOpenGLGLFW::getFramebufferSize(int* width, int* height) {
    getWindowSize(width, height);
}

void GraphicsContextOpenGLGLFW::getWindowSize(int* width, int* height) {
    if (width)
        *width = width_;
    if (height)
        *height = height_;
}

void GraphicsContextOpenGLGLFW::setCursorShape(int shape) {
    if (shape < 0 || shape > 2 || !window_)
        return;
    glfwSetCursor(window_, cursors_[shape]);
}

const char* GraphicsContextOpenGLGLFW::getClipboardText() {
    return window_ ? glfwGetClipboardString(window_) : nullptr;
}

void GraphicsContextOpenGLGLFW::setClipboardText(const char* text) {
    if (window_ && text)
        glfwSetClipboardString(window_, text);
}

bool GraphicsContextOpenGLGLFW::initExtensions() {
    if (extensionsReady_)
        return false;
    if (glewInit() != GLEW_OK)
        throw "blin";
    detectCapabilities();
    extensionsReady_ = true;
    return true;
}
