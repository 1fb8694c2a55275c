// Windows-1252 text: conversion to and from UTF-8 for text that leaves the
// program (Linux terminal, host file names).
#pragma once

#include <string>
#include <string_view>

namespace kx {

// Windows-1252 bytes to UTF-8. The five bytes that code page leaves undefined
// (81 8D 8F 90 9D) map to the C1 control characters of the same value.
std::string Cp1252ToUtf8(std::string_view s);
// UTF-8 to Windows-1252; a character the code page lacks becomes '?', and a
// byte that is not valid UTF-8 is taken as a Windows-1252 byte.
std::string Utf8ToCp1252(std::string_view s);

}  // namespace kx
