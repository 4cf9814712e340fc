// A broken driver library for tests: built with NULL_FACTORY its factory
// object has no table of operations; otherwise the factory is sound but the
// boards it makes have none. Nothing may be called through either.
#include "driver/IFactory.h"

extern "C" {
#ifdef NULL_FACTORY
__attribute__((visibility("default"))) void* StaticFactory[1] = {nullptr};
#else
static void* g_board[4] = {nullptr, nullptr, nullptr, nullptr};

class Factory final : public IFactory {
public:
    void* CreateInstance(const char*, int32_t) override { return g_board; }
};
__attribute__((visibility("default"))) Factory StaticFactory;
#endif
}
