#pragma once
// The factory object the driver library exports as "StaticFactory": the entry
// is the object's address. Slot 0 of its table is CreateInstance.
#include <cstdint>

class IFactory {
public:
    /// Returns a new board object for the named interface, or nullptr.
    virtual void* CreateInstance(const char* interfaceName, int32_t zero) = 0;

protected:
    ~IFactory() = default;
};
