// SorvelBaseLO: a base for script-visible objects whose members are a fixed table of names and
// IDs. A derived class passes its class name and its static property table, and answers get and
// call for the IDs of that table.
#pragma once

#include "platform/script/Mivor.h"

class SorvelBaseLO : public Mivor::LiveObject {
public:
    // The table ends with an entry whose name is null and must outlive the object.
    SorvelBaseLO(const char* objectName, const Mivor::LivePropertyInfo* properties);

protected:
    ~SorvelBaseLO() override;

private:
    Mivor::LivePropertyManager properties_;
};
