#include "common/utf.h"

#include <cstdint>
#include <cstring>

namespace Common {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

enum class Outcome { kCharacter, kEncodedSurrogate, kUndecodable };

struct Decoded {
    Outcome outcome;
    char32_t code_point;
    std::size_t length;
};

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Reads one sequence at text[at]. Overlong forms, values above U+10FFFF,
// truncated sequences and stray bytes are undecodable.
Decoded DecodeOne(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const std::size_t left = text.size() - at;
    const unsigned char lead = byte(0);

    std::size_t length = 0;
    char32_t minimum = 0;
    char32_t value = 0;
    if (lead < 0x80) {
        return {Outcome::kCharacter, lead, 1};
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, value = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, value = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, value = lead & 0x07;
    } else {
        return {Outcome::kUndecodable, 0, 1};
    }
    if (left < length) {
        return {Outcome::kUndecodable, 0, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(byte(i))) {
            return {Outcome::kUndecodable, 0, 1};
        }
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF) {
        return {Outcome::kUndecodable, 0, 1};
    }
    if (value >= 0xD800 && value <= 0xDFFF) {
        return {Outcome::kEncodedSurrogate, 0, length};
    }
    return {Outcome::kCharacter, value, length};
}

template <typename Units>
void AppendUtf16(Units& out, char32_t code_point) {
    using Unit = typename Units::value_type;
    if (code_point < 0x10000) {
        out.push_back(static_cast<Unit>(code_point));
    } else {
        out.push_back(static_cast<Unit>(((code_point - 0x10000) >> 10) | 0xD800));
        out.push_back(static_cast<Unit>((code_point & 0x3FF) | 0xDC00));
    }
}

template <typename Units>
Units DecodeUtf8(std::string_view text) {
    Units out;
    out.reserve(text.size());
    // Set while the last unit written stands for bad input.
    bool replaced = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const Decoded d = DecodeOne(text, at);
        if (d.outcome == Outcome::kCharacter) {
            AppendUtf16(out, d.code_point);
            replaced = false;
        } else if (d.outcome == Outcome::kEncodedSurrogate && !replaced) {
            AppendUtf16(out, kReplacement);
            replaced = true;
        } else {
            // Undecodable, or a second encoded surrogate in a row: the rest
            // of the input is dropped.
            if (!replaced) {
                AppendUtf16(out, kReplacement);
            }
            break;
        }
        at += d.length;
    }
    return out;
}

// Counts the units and, given a destination, writes them.
template <typename Unit>
class UnitSink {
public:
    using value_type = Unit;
    explicit UnitSink(Unit* out) : out_(out) {}
    void push_back(Unit unit) {
        if (out_ != nullptr) {
            out_[count_] = unit;
        }
        ++count_;
    }
    std::size_t count() const { return count_; }

private:
    Unit* out_;
    std::size_t count_ = 0;
};

template <typename Unit>
std::size_t DecodeUtf8Replacing(std::string_view text, Unit* out) {
    UnitSink<Unit> sink(out);
    bool replaced = false;
    std::size_t at = 0;
    while (at < text.size()) {
        const Decoded d = DecodeOne(text, at);
        if (d.outcome == Outcome::kCharacter) {
            AppendUtf16(sink, d.code_point);
            replaced = false;
        } else if (!replaced) {
            AppendUtf16(sink, kReplacement);
            replaced = true;
        }
        // DecodeOne consumes an undecodable byte alone and an encoded
        // surrogate whole.
        at += d.length;
    }
    return sink.count();
}

void AppendUtf8(std::string& out, std::uint32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

template <typename Unit>
std::string EncodeUtf8(const Unit* units, std::size_t count) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t unit = static_cast<std::uint16_t>(units[i]);
        const std::uint32_t next = i + 1 < count ? static_cast<std::uint16_t>(units[i + 1]) : 0;
        if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            // Only a real low half pairs: a name must not lose the unit after
            // a stray high surrogate.
            AppendUtf8(out, (((unit & 0x3FF) << 10) | (next & 0x3FF)) + 0x10000);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace

bool IsNameText(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const Decoded d = DecodeOne(text, at);
        if (d.outcome != Outcome::kCharacter || d.code_point == 0) return false;
        at += d.length;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    return DecodeUtf8<std::u16string>(text);
}

std::size_t Utf8ToUtf16Replacing(std::string_view text, char16_t* out) {
    return DecodeUtf8Replacing(text, out);
}

std::string Utf16ToUtf8(std::u16string_view text) {
    return EncodeUtf8(text.data(), text.size());
}

#if WCHAR_MAX == 0xFFFF
std::size_t Utf8ToUtf16Replacing(std::string_view text, wchar_t* out) {
    return DecodeUtf8Replacing(text, out);
}

std::wstring Utf8ToWide(const char* text, std::size_t length) {
    if (text == nullptr) {
        return {};
    }
    return DecodeUtf8<std::wstring>(std::string_view(text, length));
}

std::wstring Utf8ToWide(const char* nul_terminated) {
    if (nul_terminated == nullptr) {
        return {};
    }
    return Utf8ToWide(nul_terminated, std::strlen(nul_terminated));
}

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
    if (text == nullptr) {
        return {};
    }
    return EncodeUtf8(text, length);
}
#endif

}  // namespace Common
