#include "link_settings.h"

namespace {
// Constructed on first use, so that settings made during start-up (before
// this file's statics would be ready) are not overwritten afterwards.
LinkSettings& storage() {
    static LinkSettings settings;
    return settings;
}
}  // namespace

void set_link_settings(const LinkSettings& settings) { storage() = settings; }

const LinkSettings& link_settings() { return storage(); }
