// The key layer as the device had it before the sheet changed it. The Keys
// page sets layers, the LEDs page switches them before it sets LEDs; Cancel
// puts the first layer read back once, whichever page changed it.
#pragma once

#include "framework/Afx.h"

class CKeyLayerStart {
public:
    // A layer read from the device (0-based); only a read before the first
    // change counts, and only a layer the device can be given back.
    void Found(BYTE nLayer);
    // Before a page sets a layer: without a start yet, it is read now; no
    // later read counts.
    void BeforeChange();
    // Cancel: the start, if one is known, is set again, once.
    void Restore();

private:
    BYTE m_nLayer = 0;
    bool m_bKnown = false;
    bool m_bChanged = false;
    bool m_bRestored = false;
};
