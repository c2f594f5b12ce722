#pragma once
// Small stateless helpers: word and byte splitting, clamping, rectangle arithmetic, checks of numbers
// typed into edit boxes, path and extension helpers, file dates and a description of the system.
#include "platform/Types.h"

#include <cstdint>
#include <string>

// ---- Numbers and rectangles ------------------------------------------------------------------------
inline constexpr uint16_t LoWordOf(uint32_t V) { return static_cast<uint16_t>(V & 0xFFFF); }
inline constexpr uint16_t HiWordOf(uint32_t V) { return static_cast<uint16_t>(V >> 16); }
inline constexpr uint8_t LoByteOf(uint16_t V) { return static_cast<uint8_t>(V & 0xFF); }
inline constexpr uint8_t HiByteOf(uint16_t V) { return static_cast<uint8_t>(V >> 8); }

// Min below Min, else Max above Max, else Value (so with Min > Max: Min below Min, Max otherwise).
inline constexpr int32_t ClampValue(int32_t Value, int32_t Min, int32_t Max)
{
    return Value < Min ? Min : (Value > Max ? Max : Value);
}

// Swaps Left/Right and Top/Bottom where they are reversed.
void NormalizeRect(TRect& R);
void OffsetRectBy(const TRect& R, int32_t DX, int32_t DY, TRect& Result);
// The smallest rectangle holding both corners sets; empty rectangles are not treated specially.
void UnionRects(const TRect& A, const TRect& B, TRect& Result);

// ---- Text and files --------------------------------------------------------------------------------
// Length of S without leading and trailing blanks and control characters.
int TrimmedLength(const std::string& S);
// False for blank text; otherwise whether S (untrimmed) converts with StrToInt / StrToFloat. These are
// the one test for numeric edit boxes.
bool IsValidInteger(const std::string& S);
bool IsValidFloat(const std::string& S);
// Appends the folder delimiter '/' when S is not empty and ends with neither '/' nor '\'.
void AddTrailingBackslash(std::string& S);
// The text after the last dot when the last of '.', '/', '\' and ':' in FileName is a dot; else empty.
std::string ExtractExtNoDot(const std::string& FileName);
// The file's last-write time, local time, as a date-time value (days since 1899-12-30, the time of day
// as the fraction), to the second. False when the file cannot be opened or is not a file.
bool GetFileDateTime(const std::string& FileName, double& DateTime);
// The running system: OSName the distribution's PRETTY_NAME from /etc/os-release (else "Linux"),
// VersionText the kernel release and version, MemoryText the physical memory in KB with thousands
// separators followed by " KB". False (all three empty) when the kernel cannot be queried.
bool GetOSVersionInfo(std::string& OSName, std::string& VersionText, std::string& MemoryText);
