#include <windows.h>

#include "state_keys.h"

namespace RefHost {

int CompareNames(std::wstring_view a, std::wstring_view b) {
    // A null text is an invalid argument even when empty.
    return CompareStringOrdinal(a.empty() ? L"" : a.data(), static_cast<int>(a.size()), b.empty() ? L"" : b.data(),
                                static_cast<int>(b.size()), TRUE) -
           CSTR_EQUAL;
}

}  // namespace RefHost
