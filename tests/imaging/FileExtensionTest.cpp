#include "imaging/FileExtension.h"

#include <gtest/gtest.h>

#include <string>


namespace vantoria::imaging {
namespace {

TEST(FileExtension, IsFromTheLastDotAfterTheLastSlash) {
    EXPECT_EQ(FileExtOf("/p/photo.jpg"), ".JPG");
    EXPECT_EQ(FileExtOf("/p/archive.tar.Gz"), ".GZ");
    EXPECT_EQ(FileExtOf("/a.b/file"), "");
    EXPECT_EQ(FileExtOf("/a.b/"), "");
    EXPECT_EQ(FileExtOf("file"), "");
    EXPECT_EQ(FileExtOf("/p/name."), ".");
    EXPECT_EQ(FileExtOf("/p/.bmp"), ".BMP");
    // ":" separates nothing on Linux.
    EXPECT_EQ(FileExtOf("/p/c:pic.bmp"), ".BMP");
    EXPECT_EQ(FileExtOf("/p/x.b:mp"), ".B:MP");
    // Only ASCII letters change case.
    EXPECT_EQ(FileExtOf("/p/x.\xc3\xa9t\xc3\xa9"), ".\xc3\xa9T\xc3\xa9");
}

TEST(FileExtension, LongExtensionIsCutAndNeverNative) {
    const std::string longExt = "." + std::string(40, 'b') + "mp";
    EXPECT_EQ(FileExtOf("/p/x" + longExt).size(), kMaxFileExt);
    EXPECT_FALSE(IsNativeExtension(FileExtOf("/p/x" + longExt)));
    EXPECT_FALSE(IsNativeExtension(FileExtOf("/p/x.bmp" + std::string(40, ' '))));
}

TEST(FileExtension, NativeExtensionsAreExactlyTheFour) {
    for (const char* name : {"a.bmp", "a.BMP", "a.Bmp", "a.ico", "a.wmf", "a.EMF"}) {
        EXPECT_TRUE(IsNativeExtension(FileExtOf(name))) << name;
    }
    for (const char* name : {"a.dib", "a.bmpx", "a.bm", "a.png", "a", "a.", "bmp"}) {
        EXPECT_FALSE(IsNativeExtension(FileExtOf(name))) << name;
    }
}

}  // namespace
}  // namespace vantoria::imaging
