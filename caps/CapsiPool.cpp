#include "CapsiPool.h"

#include <cstdlib>
#include <cstring>
#include <new>

CapsiPool::~CapsiPool()
{
    for (void* block : blocks_)
        std::free(block);
}

void* CapsiPool::malloc(std::size_t size)
{
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        return nullptr;
    try {
        blocks_.push_back(block);
    } catch (const std::bad_alloc&) {
        std::free(block);
        return nullptr;
    }
    return block;
}

char* CapsiPool::strdup(const char* text, std::size_t length)
{
    char* copy = static_cast<char*>(malloc(length + 1));
    if (copy == nullptr)
        return nullptr;
    if (length > 0)
        std::memcpy(copy, text, length);
    copy[length] = '\0';
    return copy;
}
