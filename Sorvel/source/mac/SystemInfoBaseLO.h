// SystemInfoBaseLO: the base of the script objects that answer questions about the machine; it
// gives each its property table.
#pragma once

#include "platform/script/MivorLive.h"

class SystemInfoBaseLO : public Mivor::LiveObject {
public:
    SystemInfoBaseLO(const char* objectName, const Mivor::LivePropertyInfo* properties)
        : Mivor::LiveObject(objectName, true), propertyManager_(properties)
    {
        setPropertyManager(&propertyManager_);
    }

private:
    Mivor::LivePropertyManager propertyManager_;
};
