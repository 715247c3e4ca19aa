// The software token's two function lists. The module's export file hands them out; tests
// can link the core and call the same functions directly.
#pragma once

#include "token/Cryptoki.h"

// C_GetFunctionList: re-reads the test faults and restarts their call counters, then answers
// with the standard list (68 entries). Never throws.
CK_RV qrdGetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) noexcept;

// C_EX_GetFunctionListExtended: the maker's list (24 entries). Never throws.
CK_RV qrdGetFunctionListExtended(ExtendedFunctionList** list) noexcept;

// The lists themselves, without the faults.
CK_FUNCTION_LIST* qrdFunctionList() noexcept;
ExtendedFunctionList* qrdExtendedFunctionList() noexcept;
