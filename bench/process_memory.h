// The resident memory of this process (the working set on Windows). One
// implementation file per platform.
#pragma once

long resident_memory_kb();
