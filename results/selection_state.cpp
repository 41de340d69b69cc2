#include "selection_state.h"

std::uint8_t cShortAddressArr[kShortAddressArrSize] = {};
int iShortAddressCount = 0;
std::uint8_t ucSelectID = 0;
std::uint8_t ucSelectUnit = 0;
bool bIdSelected = false;
