// A statistics collector for the loader tests. It records the calls it gets and answers
// reads by series name: "three" gives three records, "many" claims 40 (more than the buffer
// it was handed), "negative" answers -3, anything else 0.

#include <cstdint>
#include <mutex>
#include <string>

#include "gui/CAPILoader.h"

namespace {
std::mutex lock;
std::string calls;

void record(const std::string& text) {
    std::lock_guard<std::mutex> guard(lock);
    calls += text + ";";
}
void setText(const char* name, const char* text) { record(std::string("text ") + name + "=" + text); }
void beginInterval(const char* name) { record(std::string("begin ") + name); }
void endInterval(const char* name) { record(std::string("end ") + name); }
std::int32_t read(const char* name, CollectorRecord* records, std::int32_t* count) {
    const std::string series = name;
    if (series == "three") {
        for (std::uint64_t i = 0; i < 3 && std::int32_t(i) < *count; ++i)
            records[i] = CollectorRecord{0, 100 + i, 200 + i, 100};
        return 3;
    }
    if (series == "many") {
        for (std::int32_t i = 0; i < *count; ++i)
            records[i] = CollectorRecord{0, std::uint64_t(i), std::uint64_t(i), 0};
        return 40;
    }
    if (series == "negative")
        return -3;
    return 0;
}
}  // namespace

extern "C" void CAPIInitilizeGlobal(CollectorCallbacks* table) {
    table->setText = setText;
    table->beginInterval = beginInterval;
    table->endInterval = endInterval;
    table->read = read;
}

extern "C" const char* testCollectorCalls() {
    std::lock_guard<std::mutex> guard(lock);
    static std::string copy;
    copy = calls;
    return copy.c_str();
}
