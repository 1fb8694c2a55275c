// Windows-1252 text: conversion to and from UTF-8 for text that leaves the
// program (Linux terminal, host file names), the Spanish collation and
// upper-casing, trimming and the blank test.
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

// Spanish collation. Letters sort in the order
//   A Á B C D E É F G H I Í J K L M N Ñ O Ó P Q R S T U Ú Ü V W X Y Z
// and the same row in lower case. Every byte gets one sort weight (0..255,
// all distinct), so comparing weights never makes two different texts equal:
//   - bytes below 'A' (controls, blank, digits, punctuation): their own value;
//   - the upper-case row, in the order above;
//   - the bytes between 'Z' and 'a' ( [ \ ] ^ _ ` ), in byte order;
//   - the lower-case row, in the order above;
//   - every other byte ('{' onwards and the rest of the high half, such as
//     À, Ç, ß, à, ç), in byte order.
// So upper case sorts before lower case, Ñ between N and O, and accented
// vowels right after their plain vowel.
int SpanishWeight(unsigned char c);
// Three-way comparison by weights, byte by byte; a text sorts before every
// longer text that begins with it. Negative, zero or positive.
int SpanishCompare(std::string_view a, std::string_view b);

// Upper-casing maps each letter of the lower-case row to the letter at the same
// place in the upper-case row (a-z, á é í ñ ó ú ü). Every other byte is left as
// it is (so à, ç, ö, ÿ keep their case). Lower-casing is the inverse mapping.
unsigned char SpanishUpper(unsigned char c);
unsigned char SpanishLower(unsigned char c);
std::string Upper(std::string_view s);
std::string Lower(std::string_view s);

// Trimming removes blanks (the space character only, as the xBase trims do).
std::string_view TrimRight(std::string_view s);  // trailing blanks
std::string_view TrimLeft(std::string_view s);   // leading blanks
std::string_view Trim(std::string_view s);       // both ends
// True when the text holds nothing but spaces, tabs, CR and LF (or nothing).
bool IsBlank(std::string_view s);

}  // namespace kx
