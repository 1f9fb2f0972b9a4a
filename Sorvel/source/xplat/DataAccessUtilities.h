// DataAccessUtilities: a payload's identity as its proxy file gives it: the product it provides,
// and its code, product name, version and build.
#pragma once

#include <boost/shared_ptr.hpp>

#include <string>

class PayloadAccessor;

namespace DataAccessUtilities {

// Family, product name and version of the first product the proxy lists as satisfied; false,
// with the outputs untouched, for a null accessor or when it lists none.
bool GetSatisfiesData(const boost::shared_ptr<PayloadAccessor>& accessor, std::string& family,
                      std::string& productName, std::string& productVersion);

// The build identifier ("Created") and the installer properties "OrvexCode", "ProductName" and
// "ProductVersion". False, with the outputs untouched, for a null accessor or a proxy without a
// build identifier; otherwise every value found is set, and the result says whether all three
// properties were there.
bool GetPayloadPropertiesFromAccesssor(const boost::shared_ptr<PayloadAccessor>& accessor, std::string& orvexCode,
                                       std::string& productName, std::string& productVersion,
                                       std::string& buildIdentifier);

}  // namespace DataAccessUtilities
