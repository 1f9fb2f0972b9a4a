#include "JSMethodPublisherGroup.h"

JSMethodPublisherGroup::JSMethodPublisherGroup(const PublisherList& publishers)
{
    for (PublisherList::const_iterator publisher = publishers.begin(); publisher != publishers.end(); ++publisher)
        RegisterPublisher(*publisher);
}

JSMethodPublisherGroup::~JSMethodPublisherGroup() {}

void JSMethodPublisherGroup::RegisterPublisher(PublisherPtr publisher)
{
    if (!publisher)
        return;
    const MethodMap methods = publisher->GetAllMethods();
    for (MethodMap::const_iterator method = methods.begin(); method != methods.end(); ++method) {
        methods_.push_back(std::make_pair(method->first, std::make_pair(publisher, method->second)));
        nameIndex_[method->first] = static_cast<std::uint32_t>(methods_.size() - 1);
    }
}

JSMethodPublisherInterface::MethodMap JSMethodPublisherGroup::GetAllMethods()
{
    return nameIndex_;
}

bool JSMethodPublisherGroup::InvokeMethodByName(const std::string& name, const ArgumentList& arguments,
                                                std::string& result)
{
    MethodMap::const_iterator found = nameIndex_.find(name);
    if (found == nameIndex_.end())
        return false;
    return InvokeMethodByID(found->second, arguments, result);
}

bool JSMethodPublisherGroup::InvokeMethodByID(std::uint32_t id, const ArgumentList& arguments, std::string& result)
{
    if (id >= methods_.size())
        return false;
    const std::pair<PublisherPtr, std::uint32_t>& owner = methods_[id].second;
    return owner.first->InvokeMethodByID(owner.second, arguments, result);
}
