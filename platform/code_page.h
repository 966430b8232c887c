#pragma once

#include <string>
#include <string_view>

// The code-page calls of the Windows API, in their shape, for the three pages the program uses.
namespace mojing::platform {

inline constexpr unsigned kAnsiCodePage = 0;  // the ANSI page; it is 936 here
inline constexpr unsigned kGbkCodePage = 936;
inline constexpr unsigned kUtf8CodePage = 65001;

// With flags 0 as the program uses them: an invalid UTF-8 sequence reads as U+FFFD, a character
// that GBK lacks is written as '?'. A length of -1 reads up to and including the terminating zero.
// With no output buffer (capacity 0) the call measures. The result is the count of units (bytes)
// written or needed, 0 on failure; output that does not fit stops at the last whole character
// that fits, and the call returns 0.
int MultiByteToWideChar(unsigned codePage, unsigned flags, const char* source, int sourceLength,
                        char16_t* destination, int destinationCapacity);
int WideCharToMultiByte(unsigned codePage, unsigned flags, const char16_t* source,
                        int sourceLength, char* destination, int destinationCapacity,
                        const char* defaultChar, bool* usedDefaultChar);

// Names cross to the file system, and arguments to child processes, as UTF-8.
std::string AnsiToNative(std::string_view ansi);
std::string NativeToAnsi(std::string_view native);

}  // namespace mojing::platform
