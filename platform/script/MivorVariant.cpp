#include "platform/script/MivorVariant.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace Mivor {

namespace {

String Ascii(const std::string& text)
{
    return String(std::u16string(text.begin(), text.end()));
}

bool IsScriptWhiteSpace(char16_t unit)
{
    switch (unit) {
    case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0D: case 0x20: case 0xA0: case 0x1680:
    case 0x2028: case 0x2029: case 0x202F: case 0x205F: case 0x3000: case 0xFEFF:
        return true;
    default:
        return unit >= 0x2000 && unit <= 0x200A;
    }
}

// The shortest decimal digits that read back as the value, and the exponent n of ES5 9.8.1
// (value = 0.digits x 10^n).
void ShortestDigits(double value, std::string& digits, int& n)
{
    char buffer[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof(buffer), "%.*e", precision - 1, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    // buffer is "d.ddde[+-]xx" or "de[+-]xx".
    const std::string text(buffer);
    const std::size_t e = text.find('e');
    digits.clear();
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.')
            digits.push_back(text[i]);
    }
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    n = std::atoi(text.c_str() + e + 1) + 1;
}

std::string RadixDigits(double value, int radix)
{
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    double whole = std::floor(std::fabs(value));
    std::string reversed;
    do {
        const double digit = std::fmod(whole, radix);
        reversed.push_back(kDigits[static_cast<int>(digit)]);
        whole = std::floor(whole / radix);
    } while (whole >= 1);
    std::string text = value < 0 && reversed != "0" ? "-" : "";
    text.append(reversed.rbegin(), reversed.rend());
    return text;
}

// ES5 9.5 and 9.6: the number taken modulo 2^32.
std::uint32_t ToUint32(double number)
{
    if (std::isnan(number) || std::isinf(number))
        return 0;
    double truncated = std::trunc(number);
    truncated = std::fmod(truncated, 4294967296.0);
    if (truncated < 0)
        truncated += 4294967296.0;
    return static_cast<std::uint32_t>(truncated);
}

bool ValidDecimal(const std::string& text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return false;
    }
    return i == text.size();
}

}  // namespace

String NumberToString(double value)
{
    if (std::isnan(value))
        return Ascii("NaN");
    if (value == 0)
        return Ascii("0");  // -0 too
    if (std::isinf(value))
        return Ascii(value < 0 ? "-Infinity" : "Infinity");
    std::string text = value < 0 ? "-" : "";
    std::string digits;
    int n = 0;
    ShortestDigits(std::fabs(value), digits, n);
    const int k = static_cast<int>(digits.size());
    if (k <= n && n <= 21) {
        text += digits + std::string(static_cast<std::size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        text += digits.substr(0, static_cast<std::size_t>(n)) + "." + digits.substr(static_cast<std::size_t>(n));
    } else if (-6 < n && n <= 0) {
        text += "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
    } else {
        text += digits.substr(0, 1);
        if (k > 1)
            text += "." + digits.substr(1);
        text += "e";
        text += n - 1 >= 0 ? "+" : "-";
        text += std::to_string(std::abs(n - 1));
    }
    return Ascii(text);
}

double StringToNumber(const String& text)
{
    const std::u16string& units = text.units();
    std::size_t begin = 0;
    std::size_t end = units.size();
    while (begin < end && IsScriptWhiteSpace(units[begin]))
        ++begin;
    while (end > begin && IsScriptWhiteSpace(units[end - 1]))
        --end;
    std::string ascii;
    for (std::size_t i = begin; i < end; ++i) {
        if (units[i] > 0x7F)
            return std::numeric_limits<double>::quiet_NaN();
        ascii.push_back(static_cast<char>(units[i]));
    }
    if (ascii.empty())
        return 0;
    if (ascii.size() > 2 && ascii[0] == '0' && (ascii[1] == 'x' || ascii[1] == 'X')) {
        double value = 0;
        for (std::size_t i = 2; i < ascii.size(); ++i) {
            const char c = ascii[i];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                return std::numeric_limits<double>::quiet_NaN();
            value = value * 16 + digit;
        }
        return value;
    }
    if (ascii == "Infinity" || ascii == "+Infinity")
        return std::numeric_limits<double>::infinity();
    if (ascii == "-Infinity")
        return -std::numeric_limits<double>::infinity();
    if (!ValidDecimal(ascii))
        return std::numeric_limits<double>::quiet_NaN();
    return std::strtod(ascii.c_str(), nullptr);
}

Variant::Variant() : type_(kUndefined), boolean_(false), number_(0) {}

Variant::Variant(const Variant& other)
    : type_(other.type_), boolean_(other.boolean_), number_(other.number_), string_(other.string_),
      array_(other.array_ ? new Array(*other.array_) : nullptr)
{
}

Variant& Variant::operator=(const Variant& other)
{
    if (this != &other) {
        std::unique_ptr<Array> array(other.array_ ? new Array(*other.array_) : nullptr);
        type_ = other.type_;
        boolean_ = other.boolean_;
        number_ = other.number_;
        string_ = other.string_;
        array_ = std::move(array);
    }
    return *this;
}

Variant::Variant(Variant&& other) noexcept = default;
Variant& Variant::operator=(Variant&& other) noexcept = default;
Variant::~Variant() = default;

void Variant::clear()
{
    type_ = kUndefined;
    boolean_ = false;
    number_ = 0;
    string_ = String();
    array_.reset();
}

void Variant::setNull()
{
    clear();
    type_ = kNull;
}

void Variant::setBool(bool value)
{
    clear();
    type_ = kBoolean;
    boolean_ = value;
}

void Variant::setInt(std::int32_t value)
{
    setDouble(value);
}

void Variant::setUInt(std::uint32_t value)
{
    setDouble(value);
}

void Variant::setDouble(double value)
{
    clear();
    type_ = kNumber;
    number_ = value;
}

void Variant::setString(const String& value)
{
    String copy(value);
    clear();
    type_ = kString;
    string_ = std::move(copy);
}

void Variant::setArray(const Array& value)
{
    std::unique_ptr<Array> copy(new Array(value));  // value may live inside this variant
    clear();
    type_ = kArray;
    array_ = std::move(copy);
}

Array& Variant::makeArray()
{
    std::unique_ptr<Array> array(new Array);
    clear();
    type_ = kArray;
    array_ = std::move(array);
    return *array_;
}

void Variant::setObject(const String& text)
{
    setString(text);
    type_ = kObject;
}

bool Variant::getBool() const
{
    switch (type_) {
    case kBoolean:
        return boolean_;
    case kNumber:
        return !(number_ == 0 || std::isnan(number_));
    case kString:
        return !string_.empty();
    case kArray:
    case kObject:
        return true;
    default:
        return false;
    }
}

double Variant::getDouble() const
{
    switch (type_) {
    case kNull:
        return 0;
    case kBoolean:
        return boolean_ ? 1 : 0;
    case kNumber:
        return number_;
    case kUndefined:
        return std::numeric_limits<double>::quiet_NaN();
    default:
        return StringToNumber(toString());
    }
}

std::int32_t Variant::getInt() const
{
    return static_cast<std::int32_t>(ToUint32(getDouble()));
}

std::uint32_t Variant::getUInt() const
{
    return ToUint32(getDouble());
}

bool Variant::getArray(Array& out) const
{
    if (type_ != kArray)
        return false;
    out = *array_;
    return true;
}

const String& Variant::getString() const
{
    static const String empty;
    return type_ == kString || type_ == kObject ? string_ : empty;
}

String Variant::toString(int radix) const
{
    switch (type_) {
    case kUndefined:
        return Ascii("undefined");
    case kNull:
        return Ascii("null");
    case kBoolean:
        return Ascii(boolean_ ? "true" : "false");
    case kNumber:
        if (radix == 10 || radix < 2 || radix > 36 || std::isnan(number_) || std::isinf(number_))
            return NumberToString(number_);
        return Ascii(RadixDigits(number_, radix));
    case kArray: {
        std::u16string joined;
        for (std::uint32_t i = 0; i < array_->length(); ++i) {
            if (i > 0)
                joined.push_back(u',');
            const Variant& element = (*array_)[i];
            if (!element.isUndefined() && !element.isNull())
                joined += element.toString().units();
        }
        return String(joined);
    }
    default:
        return string_;
    }
}

void Variant::doToString(int radix)
{
    if (type_ != kString)
        setString(toString(radix));
}

const Variant& Array::operator[](std::uint32_t index) const
{
    static const Variant undefined;
    return index < elements_.size() ? elements_[index] : undefined;
}

Variant& Array::appendUndefined()
{
    elements_.emplace_back();
    return elements_.back();
}

bool Array::get(std::uint32_t index, Variant& out) const
{
    if (index >= elements_.size())
        return false;
    out = elements_[index];
    return true;
}

void Array::set(std::uint32_t index, const Variant& value)
{
    Variant copy(value);  // value may be an element that the resize moves
    if (index >= elements_.size())
        elements_.resize(static_cast<std::size_t>(index) + 1);
    elements_[index] = std::move(copy);
}

void Array::append(const Array& value)
{
    Variant element;
    element.setArray(value);
    append(element);
}

}  // namespace Mivor
