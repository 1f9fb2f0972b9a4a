// JSMethodPublisherGroup: one publisher over several, so that a page or a script sees the
// methods of all of them under one table. Calls are forwarded by name to the owning publisher.
#pragma once

#include "JSMethodPublisherInterface.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class JSMethodPublisherGroup : public JSMethodPublisherInterface {
public:
    typedef boost::shared_ptr<JSMethodPublisherInterface> PublisherPtr;
    typedef std::vector<PublisherPtr> PublisherList;

    // Registers the publishers in vector order: the group IDs run over the first publisher's
    // methods in name order, then the second's, and so on. A name that two publishers offer
    // reaches the one registered later. The group keeps its publishers alive.
    explicit JSMethodPublisherGroup(const PublisherList& publishers);
    ~JSMethodPublisherGroup() override;

    void RegisterPublisher(PublisherPtr publisher);

    MethodMap GetAllMethods() override;
    bool InvokeMethodByName(const std::string& name, const ArgumentList& arguments, std::string& result) override;
    bool InvokeMethodByID(std::uint32_t id, const ArgumentList& arguments, std::string& result) override;

private:
    JSMethodPublisherGroup(const JSMethodPublisherGroup&) = delete;
    JSMethodPublisherGroup& operator=(const JSMethodPublisherGroup&) = delete;

    // A method's group ID is its index: the owner and the method's ID within the owner.
    std::vector<std::pair<std::string, std::pair<PublisherPtr, std::uint32_t> > > methods_;
    MethodMap nameIndex_;
};
