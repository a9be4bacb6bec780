// Owners for the automation values COM hands around: a BSTR is freed and a
// VARIANT cleared exactly once, when the owner ends.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "common/unique_resource.h"

namespace Common {

struct BstrTraits {
    using Value = BSTR;
    static BSTR Empty() noexcept { return nullptr; }
    static void Close(BSTR text) noexcept { SysFreeString(text); }
};

using UniqueBstr = UniqueResource<BstrTraits>;

// A new BSTR holding `text` (up to its nul); empty when allocation fails.
inline UniqueBstr CopyBstr(const wchar_t* text) noexcept { return UniqueBstr(SysAllocString(text)); }

// A VARIANT is a structure held in place, not a single value: it is empty
// when its type is VT_EMPTY, and VariantClear both frees what it holds and
// makes it empty. So it has its own small owner, with the same verbs.
class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { Reset(); }

    const VARIANT& Get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_.vt != VT_EMPTY; }
    // For calls that fill a VARIANT; what it held before is cleared first.
    VARIANT* Put() noexcept {
        Reset();
        return &value_;
    }
    void Reset() noexcept { VariantClear(&value_); }

private:
    VARIANT value_;
};

}  // namespace Common
