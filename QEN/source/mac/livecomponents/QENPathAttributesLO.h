// QENPathAttributesLO: the script class "QENPathAttributes", through which payload scripts ask
// what lies at a path (its kind, owner, group and mode) without building a command. A symbolic
// link is never followed.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include "platform/script/Mivor.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>

class QENPathAttributesLO : public Mivor::LiveObject {
public:
    enum PropertyID : std::uint32_t {
        kID_isDirectory = 0x51504101,  // 'QPA' and the property's place
        kID_isRegularFile,
        kID_isSymlink,
        kID_group,
        kID_owner,
        kID_permissions,
        kID_VERSION,
    };

    static const char* const kClassName;  // "QENPathAttributes"
    static const double VERSION_NUMBER;   // 0.1

    static const Mivor::LivePropertyInfo _myTable[];

    // A prototype, or a new instance before the script's constructor call: no path yet.
    QENPathAttributesLO();

    // Every script construction: a new, empty instance.
    int clone(Mivor::LiveObject*& out, bool deep) override;
    // The constructor call: exactly one argument (else 20), whose text becomes the path.
    int initialize(const Mivor::Array& arguments) override;
    // Undefined when the entry cannot be read (a missing path, or owner, group and mode of a
    // symbolic link); the code is always 0.
    int get(std::uint32_t id, Mivor::Variant& result, Mivor::Error* error) override;
    // The class has no methods: 24 for every one.
    int call(std::uint32_t id, const Mivor::Array& arguments, Mivor::Variant& result, Mivor::Error* error) override;

protected:
    ~QENPathAttributesLO() override;

private:
    Mivor::LivePropertyManager propertyManager_;
    boost::shared_ptr<FileSystemPath> path_;
};
