#include "X11EventQueue.h"

#include <GLFW/glfw3.h>
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3native.h>

bool x11EventsQueued() {
    Display* display = glfwGetX11Display();
    return display && XEventsQueued(display, QueuedAlready) > 0;
}
