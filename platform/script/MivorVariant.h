// Mivor values: Variant, one script value as native code sees it, and Array, a list of them.
// Readers convert as the script language does (ES5 ToBoolean, ToInt32, ToUint32, ToString).
#pragma once

#include "platform/script/MivorString.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Mivor {

class Array;

class Variant {
public:
    enum Type { kUndefined, kNull, kBoolean, kNumber, kString, kArray, kObject };

    Variant();
    Variant(const Variant& other);
    Variant& operator=(const Variant& other);
    Variant(Variant&& other) noexcept;
    Variant& operator=(Variant&& other) noexcept;
    ~Variant();

    Type getType() const { return type_; }
    bool isUndefined() const { return type_ == kUndefined; }
    bool isNull() const { return type_ == kNull; }
    bool isBoolean() const { return type_ == kBoolean; }
    bool isNumber() const { return type_ == kNumber; }
    bool isString() const { return type_ == kString; }
    bool isArray() const { return type_ == kArray; }
    // A script object that is neither an array nor a primitive; only its text travels.
    bool isObject() const { return type_ == kObject; }

    // Back to undefined.
    void clear();
    void setNull();
    void setBool(bool value);
    void setInt(std::int32_t value);
    void setUInt(std::uint32_t value);
    void setDouble(double value);
    void setString(const String& value);
    void setArray(const Array& value);
    // Makes the value an empty array and answers it, to be filled in place.
    Array& makeArray();
    // A script object, kept as its string form.
    void setObject(const String& text);

    bool getBool() const;
    double getDouble() const;
    std::int32_t getInt() const;
    std::uint32_t getUInt() const;
    // False (out unchanged) when the value is no array.
    bool getArray(Array& out) const;
    // The array held, without copying it; null when the value is no array.
    const Array* peekArray() const { return array_.get(); }
    // The string of a string value, or of an object's text; empty for other types.
    const String& getString() const;

    // The value's script text; numbers in the given radix (2 to 36, integral part only for
    // radices other than 10).
    String toString(int radix = 10) const;
    // Turns the value into its string form in place.
    void doToString(int radix = 10);

private:
    Type type_;
    bool boolean_;
    double number_;
    String string_;
    std::unique_ptr<Array> array_;
};

class Array {
public:
    std::uint32_t length() const { return static_cast<std::uint32_t>(elements_.size()); }
    // Undefined past the end.
    const Variant& operator[](std::uint32_t index) const;
    bool get(std::uint32_t index, Variant& out) const;
    // Stores at the index, filling any gap with undefined.
    void set(std::uint32_t index, const Variant& value);
    void append(const Variant& value) { set(length(), value); }
    // Adds the array as one element (nested), not its elements.
    void append(const Array& value);
    // Appends an undefined element and answers it, to be filled in place.
    Variant& appendUndefined();
    void clear() { elements_.clear(); }

private:
    std::vector<Variant> elements_;
};

// The script language's text of a number (ES5 Number::toString, radix 10).
String NumberToString(double value);
// The script language's number of a text (ES5 ToNumber); NaN when it is not numeric.
double StringToNumber(const String& text);

}  // namespace Mivor
