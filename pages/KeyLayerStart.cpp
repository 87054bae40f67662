#include "pages/KeyLayerStart.h"

#include "device/TmIvro.h"

namespace {
const BYTE kLayers = 4;
}

void CKeyLayerStart::Found(BYTE nLayer) {
    if (m_bKnown || m_bChanged || nLayer >= kLayers) return;
    m_nLayer = nLayer;
    m_bKnown = true;
}

void CKeyLayerStart::BeforeChange() {
    BYTE nLayer = 0;
    if (!m_bKnown && !m_bChanged && IvroGetKeyLayer(&nLayer)) Found(nLayer);
    m_bChanged = true;
}

// The result is not examined: the sheet is closing and nobody could act on it.
void CKeyLayerStart::Restore() {
    if (!m_bKnown || m_bRestored) return;
    m_bRestored = true;
    IvroSetKeyLayer(m_nLayer);
}
