#include "common/json.h"

#include <cstdio>

namespace morvane {

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\b':
                quoted += "\\b";
                break;
            case '\f':
                quoted += "\\f";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

void JsonWriter::Separate() {
    if (!m_first) {
        m_text += ',';
    }
    m_first = false;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    Separate();
    m_text += JsonString(key);
    m_text += ':';
    m_first = true;  // the value that follows takes no comma
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
    Separate();
    m_text += JsonString(value);
    return *this;
}

JsonWriter& JsonWriter::Number(int64_t value) {
    Separate();
    m_text += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    Separate();
    m_text += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::BeginObject() {
    Separate();
    m_text += '{';
    m_first = true;
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    m_text += '}';
    m_first = false;
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    Separate();
    m_text += '[';
    m_first = true;
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    m_text += ']';
    m_first = false;
    return *this;
}

}  // namespace morvane
