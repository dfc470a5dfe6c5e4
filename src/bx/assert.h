#pragma once
// The engine's one fatal assertion. A failed check prints a fixed three-line
// block on standard output (condition, place, message), flushes, and aborts:
// no destructor runs. The message is any chain of stream insertions and is
// evaluated only when the condition fails. The check is part of every build.

#include <cstdlib>
#include <iostream>

#define BX_ASSERT(condition, message)                                          \
    do {                                                                       \
        if (!(condition)) {                                                    \
            std::cout << "ASSERTION \"" #condition "\" FAILED" << std::endl;   \
            std::cout << "   * at:      " << __FILE__ << ":" << __LINE__       \
                      << std::endl;                                            \
            std::cout << "   * message: " << message << std::endl;             \
            std::abort();                                                      \
        }                                                                      \
    } while (0)
