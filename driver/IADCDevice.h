#pragma once
// A board object of the driver library. Its first word points to its table of
// operations; the pure virtual functions below are declared in slot order, so
// under the Itanium C++ ABI the vtable has exactly the driver's layout. There
// is deliberately no virtual destructor: it would take slots of its own.
#include <cstdint>

#include "driver/ADC_Const.h"

class IADCDevice {
public:
    virtual int32_t Slot0() = 0;                                   ///< 0: not called
    virtual int32_t Release() = 0;                                 ///< 1: result ignored
    virtual int32_t Init(int32_t boardNo, int32_t param1, int32_t param2, int32_t zero) = 0; ///< 2: status
    virtual int32_t Slot3() = 0;                                   ///< 3: not called
    virtual int32_t Setup(int32_t one, AdcParams* params, int32_t* out) = 0; ///< 4: status
    virtual int32_t Start() = 0;                                   ///< 5: status
    virtual int32_t Stop() = 0;                                    ///< 6: result ignored
    virtual int32_t GetData(int32_t selector, int16_t* dest, int32_t count, int32_t zero) = 0; ///< 7
    virtual int32_t Slot8() = 0;                                   ///< 8: not called
    virtual int32_t Control(int32_t code, int32_t* value) = 0;     ///< 9: result ignored

protected:
    ~IADCDevice() = default;
};

/// A status is success when positive; zero or less is an error code.
inline bool AdcOk(int32_t status) { return status > 0; }
