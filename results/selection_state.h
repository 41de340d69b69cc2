// The program-wide selection state of the test-results list, shared by the
// listings, the pages and the exports. Touched by the user-interface thread
// only.
#pragma once

#include <cstdint>

inline constexpr int kShortAddressArrSize = 128;   // 2 lines of 64 luminaires

// The unit number of each test-results row, row i at entry i.
extern std::uint8_t cShortAddressArr[kShortAddressArrSize];
extern int iShortAddressCount;        // valid entries of cShortAddressArr
extern std::uint8_t ucSelectID;       // row of the last click on the test-results list
extern std::uint8_t ucSelectUnit;     // cShortAddressArr[ucSelectID]
extern bool bIdSelected;              // a click armed the Detail button
