// Writes the engine's workbook to an .xlsx file.
#pragma once

#include "sheet_model.h"

#include <ctime>
#include <string>

// Writes `book` to exactly `path`, whatever its extension, with `created`
// as the document's creation time (the same input and time give the same
// bytes). The file is written beside the target under a temporary name,
// flushed to disk and then renamed over the target, so a failed or
// interrupted save never leaves a half-written workbook and never harms a
// file already at `path`. A symbolic link at `path` stays: the file it
// points to is the one replaced. Returns an empty text on success, otherwise why
// the save failed, in words for the user.
std::string save_workbook_file(const WorkbookModel& book, const std::string& path,
                               std::time_t created);

// How much freed memory the process keeps for the next save instead of
// handing it back to the system at once (glibc's M_TRIM_THRESHOLD), and
// the size from which a block is mapped on its own (M_MMAP_THRESHOLD). A
// save builds and frees the zip's deflate state and each part's buffers
// (some hundred kilobytes) again and again; returning them after each part
// costs a TLB shoot-down on every core, a third of a save's time on a
// virtual machine. Set once, at the first save.
inline constexpr int kSaveHeapKeptBytes = 8 << 20;
inline constexpr int kSaveMmapThresholdBytes = 4 << 20;

// The default palette's colour for a colour index (1 to 56) as 0xRRGGBB.
unsigned palette_rgb(int colorIndex);
