#pragma once
// windows.h as the platform's Windows files include it: without its min and
// max macros, which would shadow std::min and std::max.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
