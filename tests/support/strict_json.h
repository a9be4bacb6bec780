// What texts the module writes for others must pass: UTF-8 by Windows' own
// decoder, JSON by JsonCpp's strict rules (no comments, nothing after the value).
#pragma once

#include <gtest/gtest.h>
#include <json/json.h>
#include <windows.h>

#include <memory>
#include <string>

namespace OrvikTest {

inline Json::Value StrictJson(const std::string& text) {
    const int length = static_cast<int>(text.size());
    EXPECT_TRUE(text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0) > 0)
        << "not UTF-8: " << text.substr(0, 200);
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    Json::Value value;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(text.data(), text.data() + length, &value, &errors)) << errors << text.substr(0, 200);
    return value;
}

}  // namespace OrvikTest
