// What texts the module writes for others must pass: UTF-8 by Windows' own
// decoder, JSON by JsonCpp's strict rules (no comments, nothing after the value).
#pragma once

#include <json/json.h>

#include <memory>
#include <string>

namespace OrvikTest {

// JsonCpp's strict rules alone: builds anywhere, so the fuzz targets share it.
inline bool ParseStrictJson(const std::string& text, Json::Value& value, std::string& errors) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    return reader->parse(text.data(), text.data() + text.size(), &value, &errors);
}

}  // namespace OrvikTest

#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

namespace OrvikTest {

inline Json::Value StrictJson(const std::string& text) {
    const int length = static_cast<int>(text.size());
    EXPECT_TRUE(text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0) > 0)
        << "not UTF-8: " << text.substr(0, 200);
    Json::Value value;
    std::string errors;
    EXPECT_TRUE(ParseStrictJson(text, value, errors)) << errors << text.substr(0, 200);
    return value;
}

}  // namespace OrvikTest
#endif
