// A broken driver library for tests: built with NULL_FACTORY its factory
// object has no table of operations; with HANGING_FACTORY its factory never
// returns a board (a driver stuck in the kernel) and says on stderr when it
// is entered and each time a signal handler has run while it waits;
// otherwise the factory is sound but the boards it makes have none. Nothing
// may be called through them.
#include <unistd.h>

#include "driver/IFactory.h"

extern "C" {
#ifdef NULL_FACTORY
__attribute__((visibility("default"))) void* StaticFactory[1] = {nullptr};
#else
static void* g_board[4] = {nullptr, nullptr, nullptr, nullptr};

class Factory final : public IFactory {
public:
    void* CreateInstance(const char*, int32_t) override
    {
#ifdef HANGING_FACTORY
        static const char entered[] = "HangingDriver: entered\n";
        static const char woken[] = "HangingDriver: a signal was handled\n";
        [[maybe_unused]] ssize_t n = write(STDERR_FILENO, entered, sizeof entered - 1);
        for (;;) {
            pause();
            n = write(STDERR_FILENO, woken, sizeof woken - 1);
        }
#endif
        return g_board;
    }
};
__attribute__((visibility("default"))) Factory StaticFactory;
#endif
}
