// Exports one function for the loader tests.
extern "C" int nimbrostaTestPluginAnswer() { return 42; }
