#include "platform/formats/PropertyList.h"

#include "platform/formats/UnicodeText.h"

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace platform {

namespace {

// Owns a libplist node for the span of one conversion.
struct NodeHolder {
    plist_t node = nullptr;
    ~NodeHolder()
    {
        if (node != nullptr)
            plist_free(node);
    }
};

// The unsigned big-endian number of size bytes at offset; false when it does not fit.
bool ReadNumber(const std::string& bytes, std::uint64_t offset, std::uint64_t size, std::uint64_t& number)
{
    if (size == 0 || size > 8 || offset > bytes.size() || size > bytes.size() - offset)
        return false;
    number = 0;
    for (std::uint64_t i = 0; i < size; ++i)
        number = (number << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return true;
}

// Whether a string object of a binary property list holds a NUL: libplist keeps such a string
// whole but hands it out as a C string, and aborts on the difference. Walks the object table
// that the trailer names; an object table that does not add up is left to libplist to refuse.
bool BinaryHoldsNulInString(const std::string& bytes)
{
    const std::size_t kTrailer = 32;
    if (bytes.size() < 8 + kTrailer)
        return false;
    const std::uint64_t trailer = bytes.size() - kTrailer;
    const std::uint64_t offsetSize = static_cast<unsigned char>(bytes[trailer + 6]);
    std::uint64_t count = 0;
    std::uint64_t table = 0;
    if (!ReadNumber(bytes, trailer + 8, 8, count) || !ReadNumber(bytes, trailer + 24, 8, table) ||
        offsetSize == 0 || offsetSize > 8 || count > bytes.size())
        return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint64_t offset = 0;
        if (!ReadNumber(bytes, table + i * offsetSize, offsetSize, offset) || offset >= trailer)
            return false;
        const unsigned char marker = static_cast<unsigned char>(bytes[offset]);
        const unsigned kind = marker >> 4;
        if (kind != 0x5 && kind != 0x6)  // ASCII and UTF-16 strings
            continue;
        std::uint64_t length = marker & 0xF;
        std::uint64_t start = offset + 1;
        if (length == 0xF) {
            // The length follows as an integer object: marker 0x1N, then 2^N bytes.
            if (start >= trailer || (static_cast<unsigned char>(bytes[start]) >> 4) != 0x1)
                return false;
            const std::uint64_t size = std::uint64_t(1) << (static_cast<unsigned char>(bytes[start]) & 0xF);
            if (!ReadNumber(bytes, start + 1, size, length))
                return false;
            start += 1 + size;
        }
        const std::uint64_t unit = kind == 0x5 ? 1 : 2;
        if (length > trailer || start > trailer || length * unit > trailer - start)
            return false;
        for (std::uint64_t at = start; at < start + length * unit; at += unit) {
            if (bytes[at] == '\0' && (unit == 1 || bytes[at + 1] == '\0'))
                return true;
        }
    }
    return false;
}

// Whether a key or string is strict UTF-8 without a NUL: only such text is read back whole from
// both forms (the binary form keeps other text as UTF-16 that no reader decodes again).
bool IsPlainText(const std::string& text)
{
    UnicodeText decoded;
    return UnicodeText::FromUTF8(text, decoded);
}

PropertyValuePtr FromNode(plist_t node, int depth)
{
    if (node == nullptr || depth > 512)
        return PropertyValuePtr();
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PropertyValue::MakeBoolean(value != 0);
    }
    case PLIST_UINT: {
        // libplist keeps every integer in 64 unsigned bits; negative numbers come back through
        // the two's-complement reading.
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return PropertyValue::MakeInteger(static_cast<std::int64_t>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PropertyValue::MakeReal(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char* value = nullptr;
        plist_get_string_val(node, &value);
        const std::string text = value != nullptr ? value : "";
        std::free(value);
        if (!IsPlainText(text))
            return PropertyValuePtr();
        return PropertyValue::MakeString(text);
    }
    case PLIST_DATE: {
        std::int32_t seconds = 0;
        std::int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return PropertyValue::MakeDate(seconds + microseconds / 1e6);
    }
    case PLIST_DATA: {
        char* value = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        std::vector<std::uint8_t> bytes(value, value + length);
        std::free(value);
        return PropertyValue::MakeData(bytes);
    }
    case PLIST_ARRAY: {
        PropertyValuePtr result = PropertyValue::MakeArray();
        const std::uint32_t count = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < count; ++i) {
            PropertyValuePtr item = FromNode(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return PropertyValuePtr();
            result->ArrayItems().push_back(item);
        }
        return result;
    }
    case PLIST_DICT: {
        PropertyValuePtr result = PropertyValue::MakeDictionary();
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        if (iterator == nullptr)
            return result;
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (key == nullptr)
                break;
            PropertyValuePtr value = FromNode(item, depth + 1);
            std::string name(key);
            std::free(key);
            if (!value || !IsPlainText(name)) {
                std::free(iterator);
                return PropertyValuePtr();
            }
            result->DictionaryItems()[name] = value;
        }
        std::free(iterator);
        return result;
    }
    default:
        return PropertyValuePtr();
    }
}

plist_t ToNode(const PropertyValue& value, int depth)
{
    if (depth > 512)
        return nullptr;
    switch (value.GetType()) {
    case PropertyValue::kString:
        // A NUL would cut the value short without a word, and bytes that are no UTF-8 would be
        // written as text that cannot be read back: such a value cannot be written.
        if (!IsPlainText(value.StringValue()))
            return nullptr;
        return plist_new_string(value.StringValue().c_str());
    case PropertyValue::kInteger:
        return plist_new_uint(static_cast<std::uint64_t>(value.IntegerValue()));
    case PropertyValue::kReal:
        return plist_new_real(value.RealValue());
    case PropertyValue::kBoolean:
        return plist_new_bool(value.BooleanValue() ? 1 : 0);
    case PropertyValue::kDate: {
        const double seconds = value.DateValue();
        if (!(seconds > std::numeric_limits<std::int32_t>::min() && seconds < std::numeric_limits<std::int32_t>::max()))
            return nullptr;
        const auto whole = static_cast<std::int32_t>(seconds);
        const auto micro = static_cast<std::int32_t>((seconds - whole) * 1e6);
        return plist_new_date(whole, micro);
    }
    case PropertyValue::kData: {
        const std::vector<std::uint8_t>& bytes = value.DataValue();
        return plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    case PropertyValue::kArray: {
        plist_t array = plist_new_array();
        for (const PropertyValuePtr& item : value.ArrayItems()) {
            plist_t node = item ? ToNode(*item, depth + 1) : nullptr;
            if (node == nullptr) {
                plist_free(array);
                return nullptr;
            }
            plist_array_append_item(array, node);
        }
        return array;
    }
    case PropertyValue::kDictionary: {
        plist_t dictionary = plist_new_dict();
        for (const auto& entry : value.DictionaryItems()) {
            plist_t node = entry.second && IsPlainText(entry.first) ? ToNode(*entry.second, depth + 1) : nullptr;
            if (node == nullptr) {
                plist_free(dictionary);
                return nullptr;
            }
            plist_dict_set_item(dictionary, entry.first.c_str(), node);
        }
        return dictionary;
    }
    }
    return nullptr;
}

}  // namespace

PropertyValuePtr PropertyValue::MakeString(const std::string& value)
{
    PropertyValuePtr result(new PropertyValue(kString));
    result->string_ = value;
    return result;
}

PropertyValuePtr PropertyValue::MakeInteger(std::int64_t value)
{
    PropertyValuePtr result(new PropertyValue(kInteger));
    result->integer_ = value;
    return result;
}

PropertyValuePtr PropertyValue::MakeReal(double value)
{
    PropertyValuePtr result(new PropertyValue(kReal));
    result->real_ = value;
    return result;
}

PropertyValuePtr PropertyValue::MakeBoolean(bool value)
{
    PropertyValuePtr result(new PropertyValue(kBoolean));
    result->integer_ = value ? 1 : 0;
    return result;
}

PropertyValuePtr PropertyValue::MakeDate(double secondsSince2001)
{
    PropertyValuePtr result(new PropertyValue(kDate));
    result->real_ = secondsSince2001;
    return result;
}

PropertyValuePtr PropertyValue::MakeData(const std::vector<std::uint8_t>& value)
{
    PropertyValuePtr result(new PropertyValue(kData));
    result->data_ = value;
    return result;
}

PropertyValuePtr PropertyValue::MakeArray()
{
    return PropertyValuePtr(new PropertyValue(kArray));
}

PropertyValuePtr PropertyValue::MakeDictionary()
{
    return PropertyValuePtr(new PropertyValue(kDictionary));
}

ConstPropertyValuePtr PropertyValue::Get(const std::string& key) const
{
    if (type_ != kDictionary)
        return ConstPropertyValuePtr();
    Dictionary::const_iterator found = dictionary_.find(key);
    if (found == dictionary_.end())
        return ConstPropertyValuePtr();
    return found->second;
}

bool PropertyValue::GetString(const std::string& key, std::string& value) const
{
    ConstPropertyValuePtr item = Get(key);
    if (!item || item->GetType() != kString)
        return false;
    value = item->StringValue();
    return true;
}

void PropertyValue::Set(const std::string& key, const PropertyValuePtr& value)
{
    if (type_ == kDictionary)
        dictionary_[key] = value;
}

PropertyValuePtr PropertyValue::Clone() const
{
    PropertyValuePtr copy(new PropertyValue(*this));
    for (PropertyValuePtr& item : copy->array_)
        item = item ? item->Clone() : item;
    for (auto& entry : copy->dictionary_)
        entry.second = entry.second ? entry.second->Clone() : entry.second;
    return copy;
}

bool PropertyValue::operator==(const PropertyValue& other) const
{
    if (type_ != other.type_ || string_ != other.string_ || integer_ != other.integer_ || real_ != other.real_ ||
        data_ != other.data_ || array_.size() != other.array_.size() ||
        dictionary_.size() != other.dictionary_.size())
        return false;
    for (std::size_t i = 0; i < array_.size(); ++i) {
        if (!array_[i] || !other.array_[i] || *array_[i] != *other.array_[i])
            return false;
    }
    Dictionary::const_iterator left = dictionary_.begin();
    Dictionary::const_iterator right = other.dictionary_.begin();
    for (; left != dictionary_.end(); ++left, ++right) {
        if (left->first != right->first || !left->second || !right->second || *left->second != *right->second)
            return false;
    }
    return true;
}

bool ParsePropertyList(const std::string& bytes, PropertyValuePtr& value)
{
    if (bytes.empty() || bytes.size() > std::numeric_limits<std::uint32_t>::max())
        return false;
    NodeHolder holder;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    // A string with a NUL in it cannot be read whole (and libplist would abort on it); XML
    // allows no NUL at all.
    if (plist_is_binary(bytes.data(), length)) {
        if (BinaryHoldsNulInString(bytes))
            return false;
        plist_from_bin(bytes.data(), length, &holder.node);
    } else if (bytes.find("<plist") != std::string::npos && bytes.find('\0') == std::string::npos) {
        plist_from_xml(bytes.data(), length, &holder.node);
    }
    if (holder.node == nullptr)
        return false;
    PropertyValuePtr result = FromNode(holder.node, 0);
    if (!result)
        return false;
    value = result;
    return true;
}

bool SerializePropertyListXML(const PropertyValue& value, std::string& bytes)
{
    NodeHolder holder;
    holder.node = ToNode(value, 0);
    if (holder.node == nullptr)
        return false;
    char* text = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(holder.node, &text, &length);
    if (text == nullptr)
        return false;
    bytes.assign(text, length);
    plist_to_xml_free(text);
    return true;
}

bool SerializePropertyListBinary(const PropertyValue& value, std::string& bytes)
{
    NodeHolder holder;
    holder.node = ToNode(value, 0);
    if (holder.node == nullptr)
        return false;
    char* data = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(holder.node, &data, &length);
    if (data == nullptr)
        return false;
    bytes.assign(data, length);
    plist_to_bin_free(data);
    return true;
}

}  // namespace platform
