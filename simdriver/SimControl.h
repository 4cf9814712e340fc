#pragma once
// Test-only control interface of the simulated driver library. The program
// never uses it; tests resolve these entries with dlsym on the same library
// the program loaded through the hive (dlopen of the same path gives the same
// instance), so what they set is what the program's boards see.
//
// Boards are named by the number they were given in Init (1..5 in the
// program's order: AdcFon1, AdcFon2, AdcRad1, AdcRad2, AdcRad3). Before Init
// a board has number 0.
#include <cstddef>
#include <cstdint>

extern "C" {

/// Operations as they appear in the call log (slot numbers of the table).
enum SimOp : int32_t {
    SimOpCreate = -1, ///< CreateInstance on the factory (board = creation index)
    SimOpRelease = 1,
    SimOpInit = 2,
    SimOpSetup = 4,
    SimOpStart = 5,
    SimOpStop = 6,
    SimOpGetData = 7,
    SimOpControl = 9,
};

/// One logged call. args[] hold the 32-bit arguments after the object in
/// order (pointers are not logged; for Control the value word as passed in is
/// args[1]; for GetData args = selector, count, trailing 0); for Setup the 48
/// bytes of the record as passed are in params.
struct SimCall {
    int32_t board;      ///< Init number of the board (0 before Init)
    int32_t op;         ///< SimOp
    int32_t args[4];
    int32_t result;     ///< status returned (or value word after Control)
    uint8_t params[48];
};

/// Forget every log entry, script, scripted sample, trigger and setting;
/// back to the default behaviour (random radio events, real pacing) with
/// every call logged. A library that was never reset logs nothing, so a
/// program's run keeps no log however long it lasts.
void sim_reset(void);

/// The call log since the last reset or clear.
size_t sim_call_count(void);
const SimCall* sim_call(size_t index);
void sim_clear_log(void);
/// When off, only Create/Release/Init/Setup/Start/Stop are logged (a long
/// run's status polls would otherwise grow the log). Default: on. Even when
/// on, GetData and Control rows stop being kept once the log holds 1 Mi rows.
void sim_log_polls(int on);

/// The next `count`-th call (1 = the next one) of operation `op` on board
/// `board` returns `status` instead of succeeding. One-shot.
/// For SimOpCreate, `board` is ignored and the count-th CreateInstance
/// returns nullptr.
void sim_fail(int32_t board, int32_t op, int32_t count, int32_t status);

/// Samples every following GetData of (board, input 0 or 1) delivers: the
/// data are repeated to fill the request. n = 0 removes the script.
void sim_script_samples(int32_t board, int32_t input, const int16_t* data, size_t n);

/// Background boards report ready immediately after Start (no pacing).
void sim_set_instant(int on);
/// Board never reports ready (status word stays 0) while set.
void sim_set_never_ready(int32_t board, int on);

/// Random radio events per minute of wall time (0 = none). The default is 3,
/// or the value of the environment variable LAN10M8SIM_EVENTS_PER_MINUTE
/// when the library is loaded. The other variables read at loading (the
/// seed, LAN10M8SIM_SEED, and the shared sky of showers, LAN10M8SIM_SKY...)
/// are listed in the README; sim_reset pins the seed and keeps the sky.
void sim_set_event_rate(double perMinute);
/// Radio board `board` reports an event (bit 0) from its `nth` status query
/// on (1 = the next query), counted from now. Stays set until its Start.
void sim_trigger_at_query(int32_t board, int32_t nth);
/// Number of status queries (Control code 0) made of `board` so far.
int32_t sim_status_queries(int32_t board);

/// Seconds, summed over the runs since reset, during which `board` was
/// acquiring: from each Start until its data were complete or until its
/// Stop, whichever came first. Wall seconds since reset in `wall`.
double sim_live_seconds(int32_t board, double* wall);

/// Processor seconds GetData spent making and copying samples since reset,
/// summed over all boards and threads.
double sim_data_cpu_seconds(void);

} // extern "C"

/// Typedefs for dlsym.
using sim_reset_fn = void (*)(void);
using sim_call_count_fn = size_t (*)(void);
using sim_call_fn = const SimCall* (*)(size_t);
