// CapsiPool: the memory that a store hands to its callers (texts, records, lists), freed all
// at once when the store goes, so callers never free what a caps function gave them.
#pragma once

#include <boost/noncopyable.hpp>

#include <cstddef>
#include <string>
#include <vector>

class CapsiPool : private boost::noncopyable {
public:
    CapsiPool() = default;
    ~CapsiPool();

    // A block of size bytes that lives as long as the pool; null when the allocation failed.
    void* malloc(std::size_t size);
    // A NUL-terminated copy of the bytes; null when the allocation failed.
    char* strdup(const char* text, std::size_t length);
    char* strdup(const std::string& text) { return strdup(text.data(), text.size()); }

private:
    std::vector<void*> blocks_;
};
