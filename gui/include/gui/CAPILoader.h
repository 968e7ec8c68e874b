#pragma once
// Loader of the optional statistics collector library ("collector.so" in the program's lib
// folder; none is shipped). The library's one export, "CAPIInitilizeGlobal", fills a table of
// callbacks through which the program records named intervals and texts and reads recent
// records back (the debug timing diagram). Without the library or the export every call does
// nothing and every read comes back empty.
//
// The wrappers take no lock: the render thread and the benchmark worker call them at the
// same time, and the collector accepts concurrent calls.

#include <cstdint>
#include <string>
#include <vector>

// An optional library loaded at run time: opened by name, its entry points looked up by the
// derived loader, closed when the loader ends.
class BaseLoader {
public:
    virtual ~BaseLoader();

    // Looks up the library's entry points; true when the loader can work.
    virtual bool resolveEntry() = 0;
    // After the library has been closed.
    virtual void onUnload() {}
    // The library's file name on this system.
    virtual const char* libraryName() const = 0;

protected:
    // Opens path, or libraryName() through the program's lib folder when path is empty.
    // True when the library is open.
    bool loadLibrary(const std::string& path);
    void unloadLibrary();
    void* symbol(const char* name) const;

    void* library_ = nullptr;
};

// One record of a collector series.
struct CollectorRecord {
    std::uint64_t unused = 0;
    std::uint64_t startTime = 0;
    std::uint64_t endTime = 0;
    std::uint64_t duration = 0;  // collector time units
};
static_assert(sizeof(CollectorRecord) == 32, "the collector writes 32-byte records");

// The table that "CAPIInitilizeGlobal" fills, in the collector's order.
struct CollectorCallbacks {
    void (*setText)(const char* name, const char* text) = nullptr;
    void (*beginInterval)(const char* name) = nullptr;
    void (*endInterval)(const char* name) = nullptr;
    std::int32_t (*read)(const char* name, CollectorRecord* records, std::int32_t* count) = nullptr;
    void (*setValues)(const char* name, std::int32_t a, std::int32_t b) = nullptr;
    bool (*checkValues)(const char* name, std::int32_t a, std::int32_t b) = nullptr;
    bool (*checkValue)(const char* name, std::int32_t a) = nullptr;
};

class CAPILoader : public BaseLoader {
public:
    // Most records one read returns.
    static constexpr std::int32_t kMaxRecords = 16;
    static constexpr const char* kEntryName = "CAPIInitilizeGlobal";

    // The process's loader: made on first use (loading "collector.so" from the lib folder),
    // closed at exit.
    static CAPILoader& instance();

    // A loader of the library at path ("" : "collector.so" through the lib folder).
    explicit CAPILoader(const std::string& path);
    ~CAPILoader() override;

    CAPILoader(const CAPILoader&) = delete;
    CAPILoader& operator=(const CAPILoader&) = delete;

    bool resolveEntry() override;
    const char* libraryName() const override { return "collector.so"; }

    bool available() const { return available_; }
    void setText(const char* name, const char* text);
    // Begins (true) or ends (false) the named interval.
    void interval(const char* name, bool begin);
    // The newest records of the series, at most kMaxRecords; empty without the collector.
    // The count the collector returns is clamped to 0..kMaxRecords. Returns true.
    bool readData(const char* name, std::vector<CollectorRecord>& records);

private:
    using InitializeFunction = void (*)(CollectorCallbacks* table);

    bool available_ = false;
    InitializeFunction initializeGlobal_ = nullptr;
    CollectorCallbacks callbacks_;
};
