// The fields of a 3DO line, matched exactly as printf's "%*d" and "%W.Df" write them in the C
// locale: right-aligned with just enough blanks, no leading zeros, no plus sign.
#pragma once

#include <cstdint>
#include <string_view>

namespace kesh {

// True when `field` is exactly what "%*d" writes for some value in `width` columns, and sets
// `value`. Accepts values within the 64-bit range only.
bool ParseIntField(std::string_view field, int width, int64_t& value);

// True when `field` is exactly what "%W.Df" writes (blanks, an optional '-', an integer part
// without leading zeros, a point and `decimals` digits; or inf/nan as glibc prints them), and
// sets `value`.
bool ParseFixedField(std::string_view field, int width, int decimals, double& value);

// A cursor over one line that takes its fields in order.
class LineFields {
  public:
    explicit LineFields(std::string_view line) : rest_(line) {}

    // Takes `text` when the line continues with it.
    bool Literal(std::string_view text);
    // Takes a "%*d" field: blanks, then a sign and digits as far as they go.
    bool Int(int width, int64_t& value);
    // Takes a "%W.Df" field.
    bool Fixed(int width, int decimals, double& value);

    bool AtEnd() const { return rest_.empty(); }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

}  // namespace kesh
