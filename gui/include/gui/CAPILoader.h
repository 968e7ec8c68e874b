#pragma once
// Loader of the optional statistics collector library. Without the library every call does
// nothing; the player fills in the rest of the collector interface.

class CAPILoader {
public:
    static CAPILoader& instance();

    bool available() const { return available_; }
    // Begins (1) or ends (0) the named interval.
    void interval(const char* name, int begin);
    void setText(const char* name, const char* text);

private:
    CAPILoader();
    ~CAPILoader();
    CAPILoader(const CAPILoader&) = delete;
    CAPILoader& operator=(const CAPILoader&) = delete;

    bool available_ = false;
};
