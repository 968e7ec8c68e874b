#include "webapi/JsonReaders.h"

#include <cmath>

void throwJsonAssertion(const char* condition) {
    throw JsonAssertionError(std::string("JSON assertion failed: ") + condition);
}

const rapidjson::Value* findMember(const rapidjson::Value& obj, const char* name) {
    if (!obj.IsObject()) return nullptr;
    const auto it = obj.FindMember(name);
    return it == obj.MemberEnd() ? nullptr : &it->value;
}

bool hasMember(const rapidjson::Value& obj, const char* name) { return findMember(obj, name) != nullptr; }

bool readJsonString(const rapidjson::Value& obj, const char* name, std::string& out) {
    out.clear();
    const rapidjson::Value* value = findMember(obj, name);
    if (!value || !value->IsString()) return false;
    out = value->GetString();
    return true;
}

bool readJsonBool(const rapidjson::Value& obj, const char* name, bool& out) {
    out = true;
    const rapidjson::Value* value = findMember(obj, name);
    if (!value || !value->IsBool()) return false;
    out = value->GetBool();
    return true;
}

namespace {
// Truncates toward zero when the result fits a 32-bit signed integer.
bool truncateToInt32(double d, std::int32_t& out) {
    if (!(d > -2147483649.0 && d < 2147483648.0)) return false;
    out = static_cast<std::int32_t>(d);
    return true;
}
}  // namespace

bool readJsonInt(const rapidjson::Value& value, std::int32_t& out) {
    if (value.IsNull()) {
        out = 0;
        return true;
    }
    if (value.IsInt()) {
        out = value.GetInt();
        return true;
    }
    if (value.IsDouble()) return truncateToInt32(value.GetDouble(), out);
    return false;
}

bool readJsonInt(const rapidjson::Value& obj, const char* name, std::int32_t& out) {
    const rapidjson::Value* value = findMember(obj, name);
    return value && readJsonInt(*value, out);
}

bool readJsonDouble(const rapidjson::Value& value, double& out) {
    if (value.IsNull()) {
        out = 0;
        return true;
    }
    if (value.IsDouble()) {
        out = value.GetDouble();
        return true;
    }
    if (value.IsInt()) {
        out = value.GetInt();
        return true;
    }
    return false;
}

bool readJsonEta(const rapidjson::Value& obj, const char* name, std::int32_t& out) {
    const rapidjson::Value* value = findMember(obj, name);
    if (!value) return false;
    if (value->IsDouble()) {
        const double d = value->GetDouble();
        if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0)) return false;
        const auto wide = static_cast<std::int64_t>(d);
        out = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide) & 0xffffffffu));
        return true;
    }
    return readJsonInt(*value, out);
}

bool isNumberOne(const rapidjson::Value& value) {
    if (value.IsInt()) return value.GetInt() == 1;
    if (value.IsDouble()) return value.GetDouble() == 1.0;
    return false;
}

bool parseJsonText(rapidjson::Document& doc, const std::string& text) {
    doc.Parse<rapidjson::kParseIterativeFlag>(text.data(), text.size());
    return !doc.HasParseError();
}
