#pragma once
// Something that offers a list of choices and hears which one was picked. The index is
// whatever number the owner gave the item (a position, or a value such as minutes); it is
// not checked here.

#include <cstdint>

class IIndexSelectable {
public:
    virtual void onIndexSelected(std::int32_t index) = 0;

protected:
    ~IIndexSelectable() = default;
};
