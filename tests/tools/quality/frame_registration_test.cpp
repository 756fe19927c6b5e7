// The registration behind the quality comparison recovers a known map: two
// frames of a generated clip whose camera turned, zoomed and moved between
// them, plus a black border and a foreign patch in the copy that must not
// pull the fit.
#include "tools/quality/frame_registration.h"

#include <gtest/gtest.h>

#include "tools/clipgen/clip_generator.h"
#include "tools/clipgen/y4m_writer.h"

namespace {

qvquality::RLumaFrame lumaOf(const qvclip::RFrame& frame) {
  qvquality::RLumaFrame luma{frame.width, frame.height, {}};
  for (std::uint32_t pixel : frame.pixels) {
    std::uint8_t y, cb, cr;
    qvclip::rgbToYCbCr(pixel, &y, &cb, &cr);
    luma.luma.push_back(y);
  }
  return luma;
}

TEST(FrameRegistrationTest, RecoversTheCameraMotionBetweenTwoFrames) {
  qvclip::RClipSettings settings;
  settings.width = 320;
  settings.height = 180;
  settings.frameCount = 12;
  settings.path.rotation = 0.3;
  settings.path.zoom = 1.004;
  settings.path.jitterPixels = 4.0;
  const qvclip::CClipGenerator generator(settings);
  qvclip::RFrame original, copy;
  generator.renderFrame(0, original);
  generator.renderFrame(10, copy);
  qvquality::RLumaFrame copyLuma = lumaOf(copy);
  for (int y = 0; y < copyLuma.height; ++y) {
    for (int x = 0; x < copyLuma.width; ++x) {
      const bool border = x < 12;
      const bool patch = x >= 200 && x < 240 && y >= 60 && y < 100;
      if (border || patch) copyLuma.luma[static_cast<std::size_t>(y) * copyLuma.width + x] = 16;
    }
  }

  const qvquality::RRegistration result =
      qvquality::registerFrames(copyLuma, lumaOf(original), qvquality::RAffine{});
  for (double x : {20.0, 160.0, 300.0}) {
    for (double y : {10.0, 90.0, 170.0}) {
      double planeX, planeY, expectedX, expectedY, foundX, foundY;
      qvclip::frameToPlane(generator.poseAt(10), 320, 180, x, y, &planeX, &planeY);
      qvclip::planeToFrame(generator.poseAt(0), 320, 180, planeX, planeY, &expectedX, &expectedY);
      qvquality::mapPoint(result.map, 320, 180, 320, 180, x, y, &foundX, &foundY);
      EXPECT_NEAR(foundX, expectedX, 0.05) << x << ", " << y;
      EXPECT_NEAR(foundY, expectedY, 0.05) << x << ", " << y;
    }
  }
}

}  // namespace
