// Test access to the simulated driver library's control entries.
#include "support/SimDriverControl.h"

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace {

void* openLibrary()
{
    void* handle = dlopen(SIMDRIVER_PATH, RTLD_NOW);
    if (!handle) {
        const char* why = dlerror();
        throw std::runtime_error(std::string("cannot load ") + SIMDRIVER_PATH + ": " + (why ? why : "?"));
    }
    return handle;
}

template <typename T>
void resolve(void* handle, const char* name, T& target)
{
    void* address = dlsym(handle, name);
    if (!address)
        throw std::runtime_error(std::string("simulated driver lacks ") + name);
    target = reinterpret_cast<T>(address);
}

} // namespace

SimDriverControl::SimDriverControl()
{
    void* handle = openLibrary();
    resolve(handle, "StaticFactory", factory_);
    resolve(handle, "sim_reset", reset_);
    resolve(handle, "sim_call_count", callCount_);
    resolve(handle, "sim_call", call_);
    resolve(handle, "sim_clear_log", clearLog_);
    resolve(handle, "sim_log_polls", logPolls_);
    resolve(handle, "sim_fail", fail_);
    resolve(handle, "sim_script_samples", scriptSamples_);
    resolve(handle, "sim_set_instant", setInstant_);
    resolve(handle, "sim_set_never_ready", setNeverReady_);
    resolve(handle, "sim_set_event_rate", setEventRate_);
    resolve(handle, "sim_trigger_at_query", triggerAtQuery_);
    resolve(handle, "sim_status_queries", statusQueries_);
    resolve(handle, "sim_live_seconds", liveSeconds_);
}

std::vector<SimCall> SimDriverControl::calls() const
{
    std::vector<SimCall> out;
    const size_t n = callCount_();
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        if (const SimCall* c = call_(i))
            out.push_back(*c);
    return out;
}

std::vector<SimCall> SimDriverControl::calls(SimOp op, int32_t board) const
{
    std::vector<SimCall> out;
    for (const SimCall& c : calls())
        if (c.op == op && (board < 0 || c.board == board))
            out.push_back(c);
    return out;
}
