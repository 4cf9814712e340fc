#pragma once
// The gains chosen in the gain dialog: six radio and four detector gains
// and whether the choice was stored. The main window holds them and puts
// them into effect; the dialog is handed them and fills and stores them.
#include <cstdint>

struct TGainSelection {
    int32_t RGainSel1 = 0, RGainSel2 = 0, RGainSel3 = 0, RGainSel4 = 0, RGainSel5 = 0, RGainSel6 = 0;
    int32_t FGainSel1 = 0, FGainSel2 = 0, FGainSel3 = 0, FGainSel4 = 0;
    /// Set when the dialog's choices were stored ("Выход").
    bool GainChanged = false;

    /// The value of field k of the dialog: 1..6 radio, 7..10 detector channels.
    int32_t& Selection(int k)
    {
        int32_t* all[] = {&RGainSel1, &RGainSel2, &RGainSel3, &RGainSel4, &RGainSel5,
                          &RGainSel6, &FGainSel1, &FGainSel2, &FGainSel3, &FGainSel4};
        return *all[k - 1];
    }
};
