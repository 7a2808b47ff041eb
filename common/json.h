#pragma once
// Just enough JSON for the front ends' structured output (the tool's --json,
// the browser page's messages): one object at a time, written field by field.

#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// The text as a JSON string literal, quotes included: '"' and '\' escaped,
// control characters as \n, \t ... or \u00XX. Other bytes pass unchanged, so
// UTF-8 text stays UTF-8.
std::string JsonString(std::string_view text);

// Builds one JSON object. Values are added in order; nested objects and
// arrays are opened and closed explicitly.
class JsonWriter {
public:
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view value);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();

    const std::string& text() const { return m_text; }

private:
    // A comma before every value but the first of its object or array; a key
    // counts as the start of its member.
    void Separate();

    std::string m_text;
    bool m_first = true;
};

}  // namespace morvane
