#pragma once
// For the .cpp files that define the wrappers of one DLL: resolves the function once, then calls
// it, or fails with `failure` and ERROR_PROC_NOT_FOUND when the DLL or function is missing.
#include "sys/api/system_dll.h"

#define SYSTEM_API_CALL(dll, function, failure, ...)                                           \
    static const auto fn = SystemProc<decltype(&::function)>(dll, #function);                  \
    if (!fn) {                                                                                 \
        ::SetLastError(ERROR_PROC_NOT_FOUND);                                                  \
        return failure;                                                                        \
    }                                                                                          \
    return fn(__VA_ARGS__)

#define SYSTEM_API_CALL_VOID(dll, function, ...)                                               \
    static const auto fn = SystemProc<decltype(&::function)>(dll, #function);                  \
    if (fn) fn(__VA_ARGS__)
