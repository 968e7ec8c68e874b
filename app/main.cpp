// The client's entry point: one executable, three modes (updater, launcher, player).

#include "app/Startup.h"

int main(int argc, char** argv) { return runClient(argc, argv); }
