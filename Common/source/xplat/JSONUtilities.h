// JSONUtilities: the small JSON writer behind every answer of the script interface and every
// prompt the worker posts to the pages. It only writes; the text is compact and every scalar is
// a quoted string (numbers and booleans included), so pages read all values alike.
#pragma once

#include <boost/noncopyable.hpp>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace JSONUtilities {

// One node of a tree. A tree is written by serialising its root; writing never changes it.
class JSONBase : private boost::noncopyable {
public:
    virtual void Serialize(std::ostream& out) const = 0;
    virtual ~JSONBase() {}

    // The text with line feed, carriage return, U+2028 and U+2029 written as escapes and a
    // backslash put before each double quote, single quote and backslash. Every other byte is
    // copied unchanged. Answers are evaluated as script literals, where the four line
    // terminators would end the string; the single quote is escaped because pages embed
    // answers inside single-quoted literals too.
    static std::string EscapeValue(const std::string& value);

protected:
    // Writes quote, the escaped name, quote and colon.
    static void WriteName(std::ostream& out, const std::string& name);
};

namespace detail {

// How a property's value is kept and written; one rule per kind of value type.
template <typename T, typename Enable = void>
struct PropertyValueTraits {
    static_assert(std::is_enum<T>::value || (std::is_integral<T>::value && !std::is_same<T, char>::value &&
                                             !std::is_same<T, signed char>::value &&
                                             !std::is_same<T, unsigned char>::value),
                  "JSONProperty holds strings, integers, bools and enumerations only");
    typedef T Stored;
    static const T& Store(const T& value) { return value; }
    static void Write(std::ostream& out, const T& value)
    {
        if (std::is_enum<T>::value || std::is_signed<T>::value)
            out << static_cast<long long>(value);
        else
            out << static_cast<unsigned long long>(value);
    }
};

template <>
struct PropertyValueTraits<bool> {
    typedef bool Stored;
    static bool Store(bool value) { return value; }
    static void Write(std::ostream& out, bool value) { out << (value ? '1' : '0'); }
};

template <>
struct PropertyValueTraits<std::string> {
    typedef std::string Stored;
    static const std::string& Store(const std::string& value) { return value; }
    static void Write(std::ostream& out, const std::string& value) { out << JSONBase::EscapeValue(value); }
};

// A character pointer is written verbatim: callers pass literals and text they built as JSON.
// The characters are copied, so a caller's buffer need not outlive the tree; null is empty.
struct VerbatimText {
    typedef std::string Stored;
    static std::string Store(const char* value) { return value ? std::string(value) : std::string(); }
    static void Write(std::ostream& out, const std::string& value) { out << value; }
};
template <>
struct PropertyValueTraits<const char*> : VerbatimText {};
template <>
struct PropertyValueTraits<char*> : VerbatimText {};

}  // namespace detail

// A named scalar: "name":"value".
template <typename T>
class JSONProperty : public JSONBase {
public:
    JSONProperty(const std::string& name, const T& value)
        : value_(detail::PropertyValueTraits<T>::Store(value)), name_(name)
    {
    }

    void Serialize(std::ostream& out) const override
    {
        WriteName(out, name_);
        out << '"';
        detail::PropertyValueTraits<T>::Write(out, value_);
        out << '"';
    }

private:
    typename detail::PropertyValueTraits<T>::Stored value_;
    std::string name_;
};

// A named array of strings in the container's order: "name":["a","b"].
template <typename Container>
class JSONArray : public JSONBase {
public:
    JSONArray(const std::string& name, const Container& items) : items_(items), name_(name) {}

    void Serialize(std::ostream& out) const override
    {
        WriteName(out, name_);
        out << '[';
        bool first = true;
        for (const std::string& item : items_) {
            if (!first)
                out << ',';
            first = false;
            out << '"' << EscapeValue(item) << '"';
        }
        out << ']';
    }

private:
    Container items_;
    std::string name_;
};

class JSONObjectArray;

// An object: its members in the order added. Unnamed for a root or an element of an object
// array; a member object carries its name. The object owns its members.
class JSONObject : public JSONBase {
public:
    JSONObject() {}
    explicit JSONObject(const std::string& name) : name_(name) {}

    // Each Add appends a member and answers it for filling; the pointer stays valid as long as
    // this object lives. Members are never removed, reordered or compared by name.
    JSONObject* AddObject(const std::string& name);
    JSONObjectArray* AddObjectArray(const std::string& name);

    // T is deduced after decay, so a literal gives a const char* property (written verbatim).
    template <typename T>
    JSONProperty<T>* AddProperty(const std::string& name, T value)
    {
        return Append(new JSONProperty<T>(name, value));
    }

    template <typename Container>
    JSONArray<Container>* AddArray(const std::string& name, const Container& items)
    {
        return Append(new JSONArray<Container>(name, items));
    }

    // One escaped string property per entry, in key order; answers how many were added.
    std::size_t AddPropertyMap(const std::map<std::string, std::string>& properties);

    void Serialize(std::ostream& out) const override;

private:
    template <typename Node>
    Node* Append(Node* node)
    {
        members_.emplace_back(node);
        return node;
    }

    std::string name_;
    std::vector<std::unique_ptr<JSONBase> > members_;
};

// An array of unnamed objects: "name":[{...},{...}], or just [...] without a name.
class JSONObjectArray : public JSONBase {
public:
    JSONObjectArray() {}
    explicit JSONObjectArray(const std::string& name) : name_(name) {}

    JSONObject* AddObject();

    void Serialize(std::ostream& out) const override;

private:
    std::string name_;
    std::vector<std::unique_ptr<JSONObject> > elements_;
};

}  // namespace JSONUtilities
