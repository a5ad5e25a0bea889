#include "core/settings.h"

#include <locale.h>

#include <cstdlib>
#include <string>

namespace kesh {

namespace {

// The C locale, made once; strtol_l and strtod_l with it ignore the process locale.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

}  // namespace

int32_t TextToInt(std::string_view text) {
    const std::string copy(text);  // the C functions need a terminated string
    return static_cast<int32_t>(strtol_l(copy.c_str(), nullptr, 10, CLocale()));
}

double TextToDouble(std::string_view text) {
    const std::string copy(text);
    return strtod_l(copy.c_str(), nullptr, CLocale());
}

}  // namespace kesh
