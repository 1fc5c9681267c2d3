#include "config/ModulePaths.h"

#include <gtest/gtest.h>

using namespace modulepaths;

TEST(ModulePaths, SplitAtTheLastSeparator)
{
    EXPECT_EQ(SplitModulePath("/opt/tarnwick/bin/tarnwick").folder, "/opt/tarnwick/bin");
    EXPECT_EQ(SplitModulePath("/opt/tarnwick/bin/tarnwick").fileName, "tarnwick");
    EXPECT_EQ(SplitModulePath("C:\\Prog\\Tarnwick.exe").folder, "C:\\Prog");
    // A backslash wins over later slashes.
    EXPECT_EQ(SplitModulePath("a\\b/c").folder, "a");
    EXPECT_EQ(SplitModulePath("plain").folder, "");
    EXPECT_EQ(SplitModulePath("plain").fileName, "plain");
    EXPECT_FALSE(ModuleFolder().empty());
}

TEST(ModulePaths, StoredPathsResolveAgainstTheModuleFolder)
{
    EXPECT_TRUE(IsAbsoluteStoredPath("/data/x.bmp"));
    EXPECT_TRUE(IsAbsoluteStoredPath("C:\\x.bmp"));
    EXPECT_TRUE(IsAbsoluteStoredPath("d:x"));
    EXPECT_FALSE(IsAbsoluteStoredPath("NormalBitmap\\a.bmp"));
    EXPECT_FALSE(IsAbsoluteStoredPath(""));
    EXPECT_EQ(ResolveStoredPath("/m", "NormalBitmap\\坦克.bmp"), "/m/NormalBitmap/坦克.bmp");
    EXPECT_EQ(ResolveStoredPath("/m", "a/b.bmp"), "/m/a/b.bmp");
    EXPECT_EQ(ResolveStoredPath("/m", "/abs/b.bmp"), "/abs/b.bmp");
    EXPECT_EQ(ResolveStoredPath("/m", ""), "/m/") << "an empty path names the folder itself, which loads nothing";
    EXPECT_EQ(InModuleFolder("/m", "SysConfig.cfg"), "/m/SysConfig.cfg");
}
