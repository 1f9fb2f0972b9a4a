#include "tests/support/PlantTest.h"

#include <sys/stat.h>

namespace tolktest {

void PlantTest::SetUp()
{
    if (!CanRunAsNobody())
        GTEST_SKIP() << "cannot run as another user here";
    ASSERT_TRUE(LetOthersThrough(sysroot_.Base()));
    MakeFolders(shared_);
    MakeFolders(outside_);
    ASSERT_EQ(chmod(shared_.c_str(), 0777), 0);
    WriteTextFile(victim_, "precious");
}

void PlantTest::Plant(const std::function<bool()>& plant)
{
    ASSERT_EQ(RunAsNobody(plant), AsUser::kTrue);
}

}  // namespace tolktest
