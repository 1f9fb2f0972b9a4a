#include "SorvelJSPublisherUtilities.h"

#include "Common/source/xplat/JSONUtilities.h"

#include <sstream>

namespace SorvelJSPublisherUtilities {

const std::string kErrorPropertyName = "_error";
const std::string kCAPSErrorPropertyName = "capsError";

std::string MakeJSONSuccessObj()
{
    return "{ \"success\": 1 }";
}

std::string MakeJSONErrorObj(JSResult code, ExtraPropertyMap extra)
{
    JSONUtilities::JSONObject answer;
    answer.AddProperty(kErrorPropertyName, code);
    answer.AddPropertyMap(extra);
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

}  // namespace SorvelJSPublisherUtilities
