#pragma once
// Conversions between UTF-8 text and 32-bit code points.

#include <cstdint>
#include <string>
#include <vector>

// Decodes UTF-8 leniently, as the text controls need it: the text ends at its first zero
// byte; stray continuation bytes and the bytes 0xFE and 0xFF are skipped; a byte that is
// not a continuation inside a sequence is passed over; sequences of two to six bytes are
// accepted without checks for overlong forms or surrogates. A sequence cut short by the
// end of the text is dropped.
std::vector<std::uint32_t> utf8ToCodePoints(const std::string& text);

// Encodes code points (below 2^31) as UTF-8 in one to six bytes. Larger values are skipped.
std::string codePointsToUtf8(const std::vector<std::uint32_t>& codePoints);

// The text cut to at most maxBytes bytes, never inside a UTF-8 sequence: when the byte at
// the cut is a continuation byte, the cut moves back to the start of its sequence.
std::string utf8Prefix(const std::string& text, std::size_t maxBytes);
