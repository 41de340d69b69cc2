// The embedded artwork: page backgrounds and button faces as
// ":/bitmaps/<id>.png", the application icon as ":/icons/orvypc.png".
#pragma once

// Registers the embedded images. Call once before the first image is loaded
// (the images live in a static library, so nothing registers them by itself).
void init_orvypc_resources();
