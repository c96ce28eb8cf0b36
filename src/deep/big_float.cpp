#include "deep/big_float.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace deep {

namespace {

mpfr_prec_t clampedPrecision(long precision) {
    return static_cast<mpfr_prec_t>(
        std::clamp(precision, BigFloat::kLeastPrecision, BigFloat::kMostPrecision));
}

bool isPlainDecimal(std::string_view text) {
    // mpfr_strtofr also takes "nan", "inf", hexadecimal and "@" exponents; a view is
    // written in plain decimal only.
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    bool digits = false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        const std::size_t exponentStart = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        // Exponents beyond nine digits are refused before MPFR sees them.
        if (i == exponentStart || i - exponentStart > 9)
            return false;
    }
    return i == text.size();
}

}  // namespace

BigFloat::BigFloat(long precision, double value) {
    mpfr_init2(value_, clampedPrecision(precision));
    mpfr_set_d(value_, value, MPFR_RNDN);
}

BigFloat::BigFloat(const BigFloat& other) {
    mpfr_init2(value_, mpfr_get_prec(other.value_));
    mpfr_set(value_, other.value_, MPFR_RNDN);
}

BigFloat::BigFloat(BigFloat&& other) noexcept {
    // A moved-from number stays a valid (tiny) number.
    mpfr_init2(value_, kLeastPrecision);
    mpfr_swap(value_, other.value_);
}

BigFloat& BigFloat::operator=(const BigFloat& other) {
    if (this != &other) {
        mpfr_set_prec(value_, mpfr_get_prec(other.value_));
        mpfr_set(value_, other.value_, MPFR_RNDN);
    }
    return *this;
}

BigFloat& BigFloat::operator=(BigFloat&& other) noexcept {
    mpfr_swap(value_, other.value_);
    return *this;
}

BigFloat::~BigFloat() {
    mpfr_clear(value_);
}

std::optional<BigFloat> BigFloat::parse(std::string_view text, long precision) {
    if (!isPlainDecimal(text))
        return std::nullopt;
    const std::string copy(text);
    BigFloat result(precision);
    char* end = nullptr;
    mpfr_strtofr(result.value_, copy.c_str(), &end, 10, MPFR_RNDN);
    if (end != copy.c_str() + copy.size() || !result.isFinite())
        return std::nullopt;
    return result;
}

void BigFloat::setPrecision(long precision) {
    mpfr_prec_round(value_, clampedPrecision(precision), MPFR_RNDN);
}

double BigFloat::mantissa(long* exponent) const noexcept {
    return mpfr_get_d_2exp(exponent, value_, MPFR_RNDN);
}

std::string BigFloat::toString(int digits) const {
    if (isZero())
        return "0";
    if (!isFinite())
        return "nan";
    mpfr_exp_t exponent = 0;
    const std::size_t wanted = digits > 0 ? static_cast<std::size_t>(digits) : 0;
    std::unique_ptr<char, decltype(&mpfr_free_str)> text(
        mpfr_get_str(nullptr, &exponent, 10, wanted, value_, MPFR_RNDN), &mpfr_free_str);
    if (!text)
        return "nan";
    std::string digitsText(text.get());
    std::string result;
    if (!digitsText.empty() && digitsText.front() == '-') {
        result.push_back('-');
        digitsText.erase(0, 1);
    }
    // 0.ddd * 10^exponent written as d.dd e(exponent - 1), trailing zeros dropped.
    while (digitsText.size() > 1 && digitsText.back() == '0')
        digitsText.pop_back();
    result.push_back(digitsText.front());
    if (digitsText.size() > 1) {
        result.push_back('.');
        result.append(digitsText, 1, std::string::npos);
    }
    if (exponent != 1) {
        result.push_back('e');
        result.append(std::to_string(static_cast<long>(exponent) - 1));
    }
    return result;
}

std::string BigFloat::toFixed(long decimals) const {
    if (!isFinite())
        return "nan";
    char* text = nullptr;
    const int length =
        mpfr_asprintf(&text, "%.*Rf", static_cast<int>(std::max(decimals, 0L)), value_);
    if (length < 0 || text == nullptr)
        return "nan";
    std::string result(text, static_cast<std::size_t>(length));
    mpfr_free_str(text);
    if (result.front() == '-' && result.find_first_not_of("-0.") == std::string::npos)
        result.erase(0, 1);
    return result;
}

BigFloat& BigFloat::operator+=(const BigFloat& other) {
    mpfr_add(value_, value_, other.value_, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator-=(const BigFloat& other) {
    mpfr_sub(value_, value_, other.value_, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator*=(const BigFloat& other) {
    mpfr_mul(value_, value_, other.value_, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator/=(const BigFloat& other) {
    mpfr_div(value_, value_, other.value_, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator+=(double other) {
    mpfr_add_d(value_, value_, other, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator-=(double other) {
    mpfr_sub_d(value_, value_, other, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator*=(double other) {
    mpfr_mul_d(value_, value_, other, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator/=(double other) {
    mpfr_div_d(value_, value_, other, MPFR_RNDN);
    return *this;
}

BigFloat BigFloat::operator-() const {
    BigFloat result(*this);
    mpfr_neg(result.value_, result.value_, MPFR_RNDN);
    return result;
}

long precisionFor(long spacingExponent, long magnitudeExponent) {
    // Bits from the largest coordinate down to a sixteenth of a pixel, and guard bits
    // for the rounding of many operations.
    constexpr long kGuardBits = 32;
    const long bits = magnitudeExponent - spacingExponent + 4 + kGuardBits;
    return std::clamp(bits, BigFloat::kLeastPrecision, BigFloat::kMostPrecision);
}

}  // namespace deep
