#pragma once
// RapidJSON set up for replies from the network, and the member readers every reply parser
// uses. Their defaults are part of the protocol: a missing boolean reads as true, a missing
// string as empty, a null integer as 0.
//
// Include this header before any RapidJSON header: it turns RapidJSON's assertions into a
// catchable JsonAssertionError, so that a lookup the readers did not guard cannot abort the
// process. The readers themselves check every type before reading, and a value that is not an
// object counts as having no members.

#ifdef RAPIDJSON_RAPIDJSON_H_
#error "webapi/JsonReaders.h must be included before any RapidJSON header"
#endif

#include <cstdint>
#include <stdexcept>
#include <string>

class JsonAssertionError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

[[noreturn]] void throwJsonAssertion(const char* condition);

#define RAPIDJSON_ASSERT(x) ((x) ? static_cast<void>(0) : throwJsonAssertion(#x))
#define RAPIDJSON_HAS_STDSTRING 1
#include <rapidjson/document.h>

// The member `name` of `obj`, or null when `obj` is not an object or has no such member.
const rapidjson::Value* findMember(const rapidjson::Value& obj, const char* name);
bool hasMember(const rapidjson::Value& obj, const char* name);

// out = "" first; a string member: out = its text up to the first NUL byte, true.
bool readJsonString(const rapidjson::Value& obj, const char* name, std::string& out);
// out = true first; a boolean member: out = its value, true.
bool readJsonBool(const rapidjson::Value& obj, const char* name, bool& out);
// An integer in the 32-bit signed range: out = it; null: out = 0; a floating-point number in
// range: out = it truncated toward zero; anything else (missing included): out unchanged, false.
bool readJsonInt(const rapidjson::Value& obj, const char* name, std::int32_t& out);
bool readJsonInt(const rapidjson::Value& value, std::int32_t& out);
// A floating-point number: out = it; an integer in the 32-bit signed range: out = it; null:
// out = 0; anything else: out unchanged, false.
bool readJsonDouble(const rapidjson::Value& value, double& out);
// The reader for "eta": like readJsonInt, but a floating-point number is truncated to 64 bits
// and its low 32 bits are kept; a number beyond the 64-bit range is refused.
bool readJsonEta(const rapidjson::Value& obj, const char* name, std::int32_t& out);

// The value of a JSON number when it is the exact integer 1.
bool isNumberOne(const rapidjson::Value& value);

// Parses text into doc without recursion (deep nesting cannot exhaust the stack); false when
// the text is not valid JSON.
bool parseJsonText(rapidjson::Document& doc, const std::string& text);
