#include "core/with_thousands.h"

namespace kesh {

std::string WithThousands(int64_t value) {
    const std::string digits = std::to_string(value);
    const size_t sign = value < 0 ? 1 : 0;
    std::string text = digits.substr(0, sign);
    for (size_t i = sign; i < digits.size(); ++i) {
        if (i > sign && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

}  // namespace kesh
