#include "Sorvel/source/mac/JSObjCInvocation.h"
#include "Sorvel/source/xplat/JSMethodPublisher.h"
#include "Sorvel/source/xplat/JSMethodPublisherGroup.h"
#include "Sorvel/source/xplat/SorvelJSPublisherUtilities.h"

#include <gtest/gtest.h>

#include <boost/noncopyable.hpp>
#include <boost/weak_ptr.hpp>

#include <stdexcept>

namespace {

typedef std::vector<std::string> Args;
typedef JSMethodPublisherInterface::MethodMap MethodMap;
typedef boost::shared_ptr<JSMethodPublisherInterface> PublisherPtr;

// Methods registered as "b", "a", "Throw", "Boom", "Log", "b" again; answers name the publisher.
class Letters : private boost::noncopyable, public JSMethodPublisher<Letters> {
public:
    explicit Letters(const std::string& tag) : tag_(tag)
    {
        RegisterJSMemberMethod("b", &Letters::B);
        RegisterJSMemberMethod("a", &Letters::A);
        RegisterJSMemberMethod("Throw", &Letters::Throw);
        RegisterJSMemberMethod("Boom", &Letters::Boom);
        RegisterJSMemberMethod("Log", &Letters::Log);
    }

    std::string A(const Args& arguments) { return tag_ + ".a" + (arguments.empty() ? "" : "(" + arguments[0] + ")"); }
    std::string B(const Args&) { return tag_ + ".b"; }
    std::string Throw(const Args&) { throw std::runtime_error("handler trouble"); }
    std::string Boom(const Args&) { throw 42; }
    std::string Log(const Args&) { return tag_ + ".Log"; }
    void Again() { RegisterJSMemberMethod("b", &Letters::Log); }

private:
    std::string tag_;
};

}  // namespace

TEST(JSMethodPublisherTest, IDsFollowRegistrationAndNamesSortByteWise)
{
    Letters publisher("P");
    EXPECT_EQ(publisher.GetAllMethods(), (MethodMap{{"Boom", 3}, {"Log", 4}, {"Throw", 2}, {"a", 1}, {"b", 0}}));
    std::string result;
    ASSERT_TRUE(publisher.InvokeMethodByID(1, {"x"}, result));
    EXPECT_EQ(result, "P.a(x)");

    publisher.Again();
    EXPECT_EQ(publisher.GetAllMethods().at("b"), 5u);
    ASSERT_TRUE(publisher.InvokeMethodByName("b", {}, result));
    EXPECT_EQ(result, "P.Log") << "a name registered again reaches the later handler";
    ASSERT_TRUE(publisher.InvokeMethodByID(0, {}, result));
    EXPECT_EQ(result, "P.b") << "the earlier entry stays reachable by its ID";
}

TEST(JSMethodPublisherTest, UnknownMethodsAndThrowingHandlersLeaveTheResult)
{
    Letters publisher("P");
    std::string result = "previous";
    EXPECT_FALSE(publisher.InvokeMethodByID(5, {}, result)) << "the ID equal to the method count";
    EXPECT_FALSE(publisher.InvokeMethodByName("A", {}, result)) << "names are case-sensitive";
    EXPECT_FALSE(publisher.InvokeMethodByName("Throw", {}, result));
    EXPECT_FALSE(publisher.InvokeMethodByName("Boom", {}, result)) << "an exception of any type";
    EXPECT_EQ(result, "previous");
}

TEST(JSMethodPublisherGroupTest, NumbersEachPublisherInNameOrderAndTheLaterWins)
{
    JSMethodPublisherGroup group({PublisherPtr(new Letters("first")), PublisherPtr(new Letters("second"))});
    const MethodMap methods = group.GetAllMethods();
    EXPECT_EQ(methods.size(), 5u);
    EXPECT_EQ(methods.at("Boom"), 5u);
    EXPECT_EQ(methods.at("b"), 9u);

    std::string result;
    ASSERT_TRUE(group.InvokeMethodByName("a", {"q"}, result));
    EXPECT_EQ(result, "second.a(q)");
    ASSERT_TRUE(group.InvokeMethodByID(1, {}, result));
    EXPECT_EQ(result, "first.Log") << "the first publisher keeps IDs 0 to 4";

    result = "kept";
    EXPECT_FALSE(group.InvokeMethodByName("Throw", {}, result)) << "the owner's false passes through";
    EXPECT_FALSE(group.InvokeMethodByID(10, {}, result));
    EXPECT_FALSE(group.InvokeMethodByName("nothing", {}, result));
    EXPECT_EQ(result, "kept");
}

TEST(JSMethodPublisherGroupTest, KeepsItsPublishersAliveAndGroupsNest)
{
    boost::weak_ptr<JSMethodPublisherInterface> watch;
    {
        PublisherPtr letters(new Letters("P"));
        watch = letters;
        PublisherPtr inner(new JSMethodPublisherGroup({letters}));
        letters.reset();
        JSMethodPublisherGroup outer({inner, PublisherPtr()});
        inner.reset();
        std::string result;
        ASSERT_TRUE(outer.InvokeMethodByName("b", {}, result));
        EXPECT_EQ(result, "P.b");
    }
    EXPECT_TRUE(watch.expired());
}

TEST(SorvelJSPublisherUtilitiesTest, SuccessAndErrorAnswers)
{
    using namespace SorvelJSPublisherUtilities;
    EXPECT_EQ(MakeJSONSuccessObj(), "{ \"success\": 1 }");
    EXPECT_EQ(MakeJSONErrorObj(kJSResultPlatformCallFailed), "{\"_error\":\"9999\"}");
    EXPECT_EQ(MakeJSONErrorObj(kJSResultBadArgument, {{"b", "2"}, {"a", "1"}}), "{\"_error\":\"2\",\"a\":\"1\",\"b\":\"2\"}");
    EXPECT_EQ(MakeJSONErrorObj(kJSResultCAPSCallFailed, {{kCAPSErrorPropertyName, "say \"no\"\n"}}),
              "{\"_error\":\"16\",\"capsError\":\"say \\\"no\\\"\\n\"}");
}

namespace {

// A window object with one method: the arguments joined, or no answer for none.
struct Window {
    boost::optional<platform::UnicodeText> Join(const JSObjCInvocation_t::ArgumentArray& arguments)
    {
        std::string text;
        for (const platform::UnicodeText& argument : arguments) {
            std::string utf8;
            argument.ToUTF8(utf8);
            text += "[" + utf8 + "]";
        }
        platform::UnicodeText answer;
        if (arguments.empty() || !platform::UnicodeText::FromUTF8(text, answer))
            return boost::none;
        return answer;
    }
};

}  // namespace

TEST(JSObjCInvocationTest, ArgumentsTravelAsPlatformStrings)
{
    Window window;
    boost::shared_ptr<JSInvocationInterface> invocation = JSObjCInvocation(&window, &Window::Join);
    std::string result = "before";
    ASSERT_TRUE(invocation->InvokeJSMethod({"a", "\xC3\xA9t\xC3\xA9"}, result));
    EXPECT_EQ(result, "[a][\xC3\xA9t\xC3\xA9]");
    result = "before";
    EXPECT_FALSE(invocation->InvokeJSMethod({}, result)) << "no answer";
    EXPECT_FALSE(invocation->InvokeJSMethod({"ok", "\xFF"}, result)) << "an argument that is not UTF-8";
    EXPECT_EQ(result, "before");
}
