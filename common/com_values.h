// Owners for the automation values COM hands around: a BSTR is freed and a
// VARIANT cleared exactly once, when the owner ends.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace Common {

class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    // Copies `text` (up to its nul); the owner is empty when allocation fails.
    explicit UniqueBstr(const wchar_t* text) noexcept : text_(SysAllocString(text)) {}
    UniqueBstr(UniqueBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other) {
            Reset();
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { Reset(); }

    BSTR Get() const noexcept { return text_; }
    explicit operator bool() const noexcept { return text_ != nullptr; }
    // For calls that hand back a new BSTR; the old one is freed first.
    BSTR* Out() noexcept {
        Reset();
        return &text_;
    }
    void Reset() noexcept {
        if (text_ != nullptr) SysFreeString(std::exchange(text_, nullptr));
    }

private:
    BSTR text_ = nullptr;
};

class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { VariantClear(&value_); }

    const VARIANT& Get() const noexcept { return value_; }
    // For calls that fill a VARIANT; what it held before is cleared first.
    VARIANT* Out() noexcept {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

}  // namespace Common
