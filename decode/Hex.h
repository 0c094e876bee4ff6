#pragma once
// Byte buffers <-> text, number texts, and the one list rule shared by
// definition rows, flag texts, request texts, log lines and width lists.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One reply frame: 129 positions (0..128), byte 1 of a "Start" cell is 0.
constexpr int FrameLast = 128;
using FrameBuffer = std::array<std::uint8_t, FrameLast + 1>;

int HexToByte(const std::string& text);
std::string ByteToHex(int value);
// Throw ERangeError when count reaches past position `last`.
std::string BytesToDec(const std::uint8_t* buf, int last, int count);
std::string BytesToHex(const std::uint8_t* buf, int last, int count);
// Return the number of items; an item beyond `last` throws ERangeError
// with the bytes before it already stored.
int DecToBytes(const std::string& text, std::uint8_t* buf, int last);
int HexToBytes(const std::string& text, std::uint8_t* buf, int last);

std::string DashToEmpty(const std::string& text);
std::string EmptyToDash(const std::string& text);

// "." is the decimal separator whatever the locale, so files read the same
// everywhere and never collide with the comma lists.
long double FloatFromText(const std::string& text, long double def);
bool TryFloatFromText(const std::string& text, long double& out);
std::string NumberToText(long double value);

// The standard integer conversion: blanks before, optional sign, "$" or
// "0x" for hexadecimal, nothing after, 32-bit range.
bool TryStrToInt(std::string_view text, std::int32_t& out);
std::int32_t StrToIntDef(std::string_view text, std::int32_t def);

// The list rule: commas and/or blanks separate, double quotes keep commas
// and blanks, "" inside quotes is one quote, an empty position between two
// commas is an item, a trailing comma adds nothing. A NUL is an ordinary
// character.
std::vector<std::string> SplitList(const std::string& text);
// Comma text: joined by "," with items quoted when they hold a character
// 0x00..0x20, a quote or a comma; an empty last item is written "" so it
// survives. SplitList reads back exactly the items written.
std::string JoinCommaText(const std::vector<std::string>& items);
