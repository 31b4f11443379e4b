#pragma once
// A composer over a picture, a settings record and a screen size that the
// test can change between calls.

#include "compose/WallComposer.h"
#include "platform/raster/RasterTestUtil.h"
#include "settings/ApSystem.h"

#include <gtest/gtest.h>

namespace vantoria::compose::test {

using raster::Bitmap;
using raster::ScreenSize;
using raster::test::CoordAt;
using raster::test::CoordPicture;
using raster::test::Point;

}  // namespace vantoria::compose::test

namespace vantoria::raster {
inline void PrintTo(const ScreenSize& s, std::ostream* o) { *o << s.width << "x" << s.height; }
}  // namespace vantoria::raster

namespace vantoria::compose::test {

class ComposerTest : public ::testing::Test {
protected:
    Bitmap picture;
    TApSystem settings;
    ScreenSize screen{1024, 768};
    int screenReads = 0;
    bool screenFails = false;
    WallComposer composer{picture, settings, [this] {
        ++screenReads;
        if (screenFails) throw std::runtime_error("no screen");
        return screen;
    }};
};

}  // namespace vantoria::compose::test
