#include "luminaire_logbook.h"

namespace {
LuminaireLogbook* g_logbook = nullptr;   // user-interface thread only
}

void set_luminaire_logbook(LuminaireLogbook* logbook) { g_logbook = logbook; }
LuminaireLogbook* luminaire_logbook() { return g_logbook; }
