// Exact matching of printf-style fields.
#include "reader3do/text_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kesh {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The field without its padding, when the padding is exactly what the width asks for.
bool Unpad(std::string_view field, int width, std::string_view& token) {
    const size_t blanks = std::min(field.find_first_not_of(' '), field.size());
    token = field.substr(blanks);
    if (token.empty()) return false;
    const size_t wanted =
        token.size() < static_cast<size_t>(std::max(width, 0)) ? width - token.size() : 0;
    return blanks == wanted;
}

// Digits with no leading zero (a lone "0" is fine).
bool IsPlainNumber(std::string_view digits) {
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) return false;
    return digits.size() == 1 || digits[0] != '0';
}

}  // namespace

bool ParseIntField(std::string_view field, int width, int64_t& value) {
    std::string_view token;
    if (!Unpad(field, width, token)) return false;
    const bool negative = token[0] == '-';
    const std::string_view digits = token.substr(negative ? 1 : 0);
    if (!IsPlainNumber(digits) || (negative && digits == "0")) return false;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    return error == std::errc() && end == token.data() + token.size();
}

bool ParseFixedField(std::string_view field, int width, int decimals, double& value) {
    std::string_view token;
    if (!Unpad(field, width, token)) return false;
    const bool negative = token[0] == '-';
    const std::string_view body = token.substr(negative ? 1 : 0);
    if (body == "inf" || body == "nan") {
        value = body == "inf" ? std::numeric_limits<double>::infinity()
                              : std::numeric_limits<double>::quiet_NaN();
        if (negative) value = -value;
        return true;
    }
    const size_t point = body.find('.');
    if (decimals <= 0 || point == std::string_view::npos) return false;
    if (!IsPlainNumber(body.substr(0, point))) return false;
    const std::string_view fraction = body.substr(point + 1);
    if (fraction.size() != static_cast<size_t>(decimals) ||
        !std::all_of(fraction.begin(), fraction.end(), IsDigit)) {
        return false;
    }
    const auto [end, error] =
        std::from_chars(token.data(), token.data() + token.size(), value, std::chars_format::fixed);
    return error == std::errc() && end == token.data() + token.size();
}

bool LineFields::Literal(std::string_view text) {
    if (!rest_.starts_with(text)) return false;
    rest_.remove_prefix(text.size());
    return true;
}

bool LineFields::Int(int width, int64_t& value) {
    size_t end = std::min(rest_.find_first_not_of(' '), rest_.size());
    if (end < rest_.size() && rest_[end] == '-') ++end;
    while (end < rest_.size() && IsDigit(rest_[end]))
        ++end;
    if (!ParseIntField(rest_.substr(0, end), width, value)) return false;
    rest_.remove_prefix(end);
    return true;
}

bool LineFields::Fixed(int width, int decimals, double& value) {
    size_t end = std::min(rest_.find_first_not_of(' '), rest_.size());
    if (end < rest_.size() && rest_[end] == '-') ++end;
    while (end < rest_.size() && (IsDigit(rest_[end]) || rest_[end] == '.' || rest_[end] == 'i' ||
                                  rest_[end] == 'n' || rest_[end] == 'f' || rest_[end] == 'a')) {
        ++end;
    }
    if (!ParseFixedField(rest_.substr(0, end), width, decimals, value)) return false;
    rest_.remove_prefix(end);
    return true;
}

}  // namespace kesh
