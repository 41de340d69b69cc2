#include "link_settings.h"

namespace {
LinkSettings g_settings;
}

void set_link_settings(const LinkSettings& settings) { g_settings = settings; }

const LinkSettings& link_settings() { return g_settings; }
