#include "ui/ValueText.h"

#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace sheet_text {

std::string Format(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, arguments);
    va_end(arguments);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

int ReadInteger(const std::string& text) {
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    if (number > INT_MAX) {
        return INT_MAX;
    }
    if (number < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(number);
}

double ReadDecimal(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

std::string FormatTwoDecimals(double value) {
    const double hundredths = value * 100.0;
    const double nearest = std::nearbyint(hundredths);
    // Single precision carries about 7 digits; 1e-6 of the magnitude covers
    // its rounding error and nothing a user would type.
    const double tolerance = 1e-6 * std::fmax(1.0, std::fabs(hundredths));
    const double shown =
        std::fabs(hundredths - nearest) <= tolerance ? nearest : std::floor(hundredths);
    return Format("%.2f", shown / 100.0);
}

namespace {

// Saturating, so that no bound, however odd, is undefined as an int.
int ToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= INT_MAX) {
        return INT_MAX;
    }
    if (value <= INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

std::string FormatRange(RangeFormat format, double minimum, double maximum) {
    switch (format) {
        case RangeFormat::Integer:
            return Format("[%d ... %d]", ToInt(minimum), ToInt(maximum));
        case RangeFormat::OneDecimal:
            return Format("[%.1f ... %.1f]", minimum, maximum);
        case RangeFormat::ThreeDecimals:
            return Format("[%.3f ... %.3f]", minimum, maximum);
        case RangeFormat::None:
            break;
    }
    return {};
}

std::string Truncated(std::string text, std::size_t maxLength) {
    if (text.size() > maxLength) {
        text.resize(maxLength);
    }
    return text;
}

}  // namespace sheet_text
