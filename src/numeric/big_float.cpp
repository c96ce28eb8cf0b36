#include "numeric/big_float.h"

#include "numeric/mpfr_access.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace numeric {

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
    mpfr_init2(MpfrAccess::create(*this), clampedPrecision(precision));
    mpfr_set_d(raw(*this), value, MPFR_RNDN);
}

BigFloat::BigFloat(const BigFloat& other) {
    mpfr_init2(MpfrAccess::create(*this), mpfr_get_prec(raw(other)));
    mpfr_set(raw(*this), raw(other), MPFR_RNDN);
}

BigFloat::BigFloat(BigFloat&& other) noexcept {
    // A moved-from number stays a valid (tiny) number.
    mpfr_init2(MpfrAccess::create(*this), kLeastPrecision);
    mpfr_swap(raw(*this), raw(other));
}

BigFloat& BigFloat::operator=(const BigFloat& other) {
    if (this != &other) {
        mpfr_set_prec(raw(*this), mpfr_get_prec(raw(other)));
        mpfr_set(raw(*this), raw(other), MPFR_RNDN);
    }
    return *this;
}

BigFloat& BigFloat::operator=(BigFloat&& other) noexcept {
    mpfr_swap(raw(*this), raw(other));
    return *this;
}

BigFloat::~BigFloat() {
    mpfr_clear(raw(*this));
}

std::optional<BigFloat> BigFloat::parse(std::string_view text, long precision) {
    if (!isPlainDecimal(text))
        return std::nullopt;
    const std::string copy(text);
    BigFloat result(precision);
    char* end = nullptr;
    mpfr_strtofr(raw(result), copy.c_str(), &end, 10, MPFR_RNDN);
    if (end != copy.c_str() + copy.size() || !result.isFinite())
        return std::nullopt;
    return result;
}

void BigFloat::setPrecision(long precision) {
    mpfr_prec_round(raw(*this), clampedPrecision(precision), MPFR_RNDN);
}

double BigFloat::mantissa(long* exponent) const noexcept {
    return mpfr_get_d_2exp(exponent, raw(*this), MPFR_RNDN);
}

std::string BigFloat::toString(int digits) const {
    if (isZero())
        return "0";
    if (!isFinite())
        return "nan";
    mpfr_exp_t exponent = 0;
    const std::size_t wanted = digits > 0 ? static_cast<std::size_t>(digits) : 0;
    std::unique_ptr<char, decltype(&mpfr_free_str)> text(
        mpfr_get_str(nullptr, &exponent, 10, wanted, raw(*this), MPFR_RNDN), &mpfr_free_str);
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
        mpfr_asprintf(&text, "%.*Rf", static_cast<int>(std::max(decimals, 0L)), raw(*this));
    if (length < 0 || text == nullptr)
        return "nan";
    std::string result(text, static_cast<std::size_t>(length));
    mpfr_free_str(text);
    if (result.front() == '-' && result.find_first_not_of("-0.") == std::string::npos)
        result.erase(0, 1);
    return result;
}

BigFloat& BigFloat::operator+=(const BigFloat& other) {
    mpfr_add(raw(*this), raw(*this), raw(other), MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator-=(const BigFloat& other) {
    mpfr_sub(raw(*this), raw(*this), raw(other), MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator*=(const BigFloat& other) {
    mpfr_mul(raw(*this), raw(*this), raw(other), MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator/=(const BigFloat& other) {
    mpfr_div(raw(*this), raw(*this), raw(other), MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator+=(double other) {
    mpfr_add_d(raw(*this), raw(*this), other, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator-=(double other) {
    mpfr_sub_d(raw(*this), raw(*this), other, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator*=(double other) {
    mpfr_mul_d(raw(*this), raw(*this), other, MPFR_RNDN);
    return *this;
}
BigFloat& BigFloat::operator/=(double other) {
    mpfr_div_d(raw(*this), raw(*this), other, MPFR_RNDN);
    return *this;
}

BigFloat BigFloat::operator-() const {
    BigFloat result(*this);
    mpfr_neg(raw(result), raw(result), MPFR_RNDN);
    return result;
}

long BigFloat::precision() const noexcept {
    return static_cast<long>(mpfr_get_prec(raw(*this)));
}

double BigFloat::toDouble() const noexcept {
    return mpfr_get_d(raw(*this), MPFR_RNDN);
}

bool BigFloat::isZero() const noexcept {
    return mpfr_zero_p(raw(*this)) != 0;
}

bool BigFloat::isFinite() const noexcept {
    return mpfr_number_p(raw(*this)) != 0;
}

int BigFloat::sign() const noexcept {
    return mpfr_sgn(raw(*this));
}

long BigFloat::exponent() const noexcept {
    return static_cast<long>(mpfr_get_exp(raw(*this)));
}

BigFloat::Decimal BigFloat::toDecimal(long digits) const {
    Decimal result;
    if (!isFinite())
        return result;
    mpfr_exp_t exponent = 0;
    std::unique_ptr<char, decltype(&mpfr_free_str)> text(
        mpfr_get_str(nullptr, &exponent, 10, static_cast<std::size_t>(std::max(digits, 1L)),
                     raw(*this), MPFR_RNDN),
        &mpfr_free_str);
    if (text) {
        result.digits = text.get();
        result.exponent = static_cast<long>(exponent);
    }
    return result;
}

BigFloat& BigFloat::scaleByPowerOfTwo(long power) {
    mpfr_mul_2si(raw(*this), raw(*this), power, MPFR_RNDN);
    return *this;
}

int compare(const BigFloat& a, const BigFloat& b) noexcept {
    return mpfr_cmp(raw(a), raw(b));
}

bool operator==(const BigFloat& a, const BigFloat& b) noexcept {
    return mpfr_equal_p(raw(a), raw(b)) != 0;
}

long precisionFor(long spacingExponent, long magnitudeExponent) {
    // Bits from the largest coordinate down to a sixteenth of a pixel, and guard bits
    // for the rounding of many operations.
    constexpr long kGuardBits = 32;
    const long bits = magnitudeExponent - spacingExponent + 4 + kGuardBits;
    return std::clamp(bits, BigFloat::kLeastPrecision, BigFloat::kMostPrecision);
}

}  // namespace numeric
