#include "process_memory.h"

#include <cstdlib>
#include <fstream>
#include <string>

long resident_memory_kb()
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}
