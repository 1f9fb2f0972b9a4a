#include "SorvelBaseLO.h"

SorvelBaseLO::SorvelBaseLO(const char* objectName, const Mivor::LivePropertyInfo* properties)
    : Mivor::LiveObject(objectName, true), properties_(properties)
{
    setPropertyManager(&properties_);
}

SorvelBaseLO::~SorvelBaseLO() {}
