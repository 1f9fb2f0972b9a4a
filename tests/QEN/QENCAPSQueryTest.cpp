#include "QENQueryTestSupport.h"

#include "caps/caps.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
typedef qentest::QENQueryTest QENCAPSQueryTest;
}  // namespace

TEST_F(QENCAPSQueryTest, DataOfADomainAndTheLock)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to create the installation database's folders";
    capsiSession* session = nullptr;
    ASSERT_EQ(capsOpenSession(&session), kCapsOK);
    ASSERT_EQ(capsAddCollection(session, "{c}", "{p}"), kCapsOK);
    ASSERT_EQ(capsAddPayload(session, "{c}", "{p}", "F", "N", "1.0", "s", nullptr, nullptr), kCapsOK);
    ASSERT_EQ(capsSetCollectionData(session, "{c}", 5, "INSTALLDIR", "/Applications/X"), kCapsOK);
    ASSERT_EQ(capsSetCollectionData(session, "{c}", 5, "o'k", "it's"), kCapsOK);
    ASSERT_EQ(capsSetPayloadData(session, "{p}", 3, "k", "v"), kCapsOK);
    ASSERT_EQ(capsCloseSession(session), kCapsOK);

    EXPECT_EQ(Eval("var r = QENGetCapsCollectionDataKeysAndValues('{c}', kCapsDomainInstallProperties);"
                   "var m = []; for (var i = 0; i < r[0].length; ++i) m.push(r[0][i] + '=' + r[1][i]);"
                   "r.length + ':' + m.sort().join('|')"),
              "2:INSTALLDIR=/Applications/X|o'k=it's");
    // The domain is the argument's integer value, one of the three domains.
    EXPECT_EQ(Json("QENGetCapsPayloadDataKeysAndValues('{p}', '3.9')"), "[[\"k\"],[\"v\"]]");
    EXPECT_EQ(Code("QENGetCapsCollectionDataKeysAndValues('{c}', 4)"), "19");
    // Nothing stored: undefined, no error.
    EXPECT_EQ(Json("QENGetCapsCollectionDataKeysAndValues('{c}', 0)"), "undefined");
    EXPECT_EQ(Json("QENGetCapsPayloadDataKeysAndValues('{unknown}', 5)"), "undefined");

    // Once locked, both refuse before they look at their arguments.
    globals_->LockCAPS();
    EXPECT_EQ(Code("QENGetCapsCollectionDataKeysAndValues()"), "-33");
    EXPECT_EQ(Code("QENGetCapsPayloadDataKeysAndValues('{p}', 3)"), "-33");
    EXPECT_TRUE(log_.Has("2 Unexpected call to QENGetCapsCollectionDataKeysAndValues after CAPS has been locked."));
    EXPECT_TRUE(log_.Has("2 Unexpected call to QENGetCapsPayloadDataKeysAndValues after CAPS has been locked."));
}
