// PropertyValue: an in-memory property list (dictionaries, arrays, strings, numbers, booleans,
// dates and data), read from XML or binary property-list bytes and written as XML.
#pragma once

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform {

class PropertyValue;
typedef boost::shared_ptr<PropertyValue> PropertyValuePtr;
typedef boost::shared_ptr<const PropertyValue> ConstPropertyValuePtr;

class PropertyValue {
public:
    enum Type { kString, kInteger, kReal, kBoolean, kDate, kData, kArray, kDictionary };

    typedef std::vector<PropertyValuePtr> Array;
    typedef std::map<std::string, PropertyValuePtr> Dictionary;

    static PropertyValuePtr MakeString(const std::string& value);
    static PropertyValuePtr MakeInteger(std::int64_t value);
    static PropertyValuePtr MakeReal(double value);
    static PropertyValuePtr MakeBoolean(bool value);
    // Seconds since 2001-01-01 00:00:00 UTC, as property lists count them.
    static PropertyValuePtr MakeDate(double secondsSince2001);
    static PropertyValuePtr MakeData(const std::vector<std::uint8_t>& value);
    static PropertyValuePtr MakeArray();
    static PropertyValuePtr MakeDictionary();

    Type GetType() const { return type_; }
    bool IsDictionary() const { return type_ == kDictionary; }

    // Scalar values; each answers its type's empty value for another type.
    const std::string& StringValue() const { return string_; }
    std::int64_t IntegerValue() const { return integer_; }
    double RealValue() const { return real_; }
    bool BooleanValue() const { return integer_ != 0; }
    double DateValue() const { return real_; }
    const std::vector<std::uint8_t>& DataValue() const { return data_; }

    Array& ArrayItems() { return array_; }
    const Array& ArrayItems() const { return array_; }
    Dictionary& DictionaryItems() { return dictionary_; }
    const Dictionary& DictionaryItems() const { return dictionary_; }

    // Dictionary helpers: the value of a key (null when missing or not a dictionary), and the
    // string value of a key when it holds a string.
    ConstPropertyValuePtr Get(const std::string& key) const;
    bool GetString(const std::string& key, std::string& value) const;
    void Set(const std::string& key, const PropertyValuePtr& value);

    // A deep copy, so that a caller may change it without touching the original.
    PropertyValuePtr Clone() const;

    bool operator==(const PropertyValue& other) const;
    bool operator!=(const PropertyValue& other) const { return !(*this == other); }

private:
    explicit PropertyValue(Type type) : type_(type) {}

    Type type_;
    std::string string_;
    std::int64_t integer_ = 0;
    double real_ = 0.0;
    std::vector<std::uint8_t> data_;
    Array array_;
    Dictionary dictionary_;
};

// Parses XML or binary property-list bytes; false for anything else, and for a text (key or
// value) that holds a NUL, which cannot be read whole, or bytes that are no UTF-8, which could
// not be written again in the binary form.
bool ParsePropertyList(const std::string& bytes, PropertyValuePtr& value);
// Serialises as an XML property list (or binary); false when the value cannot be written (a text
// holding a NUL or bytes that are no UTF-8 among them).
bool SerializePropertyListXML(const PropertyValue& value, std::string& bytes);
bool SerializePropertyListBinary(const PropertyValue& value, std::string& bytes);

}  // namespace platform
