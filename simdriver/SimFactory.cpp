// The factory object the library exports as "StaticFactory".
#include <cstring>
#include <mutex>

#include "driver/IFactory.h"
#include "simdriver/SimBoard.h"
#include "simdriver/SimState.h"

namespace sim {

/// Makes board objects for the interface "IADCDevice".
class SimFactory final : public IFactory {
public:
    /// A new board for "IADCDevice"; nullptr for any other name or when a
    /// failure is scripted for this call. Logged with the creation index.
    void* CreateInstance(const char* interfaceName, int32_t zero) override
    {
        SimState& s = state();
        std::lock_guard lock(s.mutex);
        ++s.creations;
        SimCall c = makeCall(s.creations, SimOpCreate, zero);
        int32_t status = 1;
        IADCDevice* board = nullptr;
        if (!s.takeFailure(0, SimOpCreate, status) && interfaceName
            && std::strcmp(interfaceName, adc::kDeviceInterface) == 0)
            board = new SimBoard;
        c.result = board ? 1 : 0;
        s.record(c);
        return board;
    }
};

} // namespace sim

/// The exported entry: the address of the factory object.
extern "C" __attribute__((visibility("default"))) sim::SimFactory StaticFactory;
sim::SimFactory StaticFactory;
