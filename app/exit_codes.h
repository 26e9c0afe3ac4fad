#pragma once

#include <cstdint>

constexpr std::int32_t EXIT_OK = 0;
constexpr std::int32_t EXIT_WINDOW_FAILED = -1;      // no message
constexpr std::int32_t EXIT_THREAD_FAILED = -2;      // no message
constexpr std::int32_t EXIT_CANCELLED = -11;         // worker stopped at a cancel poll
constexpr std::int32_t EXIT_SETTINGS_FAILED = -12;   // INI report shown
constexpr std::int32_t EXIT_ARGUMENTS_FAILED = -13;  // argument report shown
constexpr std::int32_t EXIT_CLIPBOARD_FAILED = -14;  // clipboard message shown
constexpr std::int32_t EXIT_OUT_OF_MEMORY = -15;     // memory message shown; clipboard untouched
