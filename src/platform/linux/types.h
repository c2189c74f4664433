// The Windows scalar types the tool's interfaces are declared with.
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using INT = int;
using CHAR = char;
using BOOL = int;
using HANDLE = void*;
using LPDWORD = DWORD*;
using LPINT = INT*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
