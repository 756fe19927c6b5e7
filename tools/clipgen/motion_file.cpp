#include "tools/clipgen/motion_file.h"

#include <cstdio>

namespace qvclip {
namespace {

std::string formatMotion(const RMotion& motion) {
  char buffer[160];
  std::snprintf(buffer, sizeof(buffer), "\t%.6f\t%.6f\t%.6f\t%.8f", motion.panX, motion.panY,
                motion.rotation, motion.zoom);
  return buffer;
}

std::string formatNumber(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%g", value);
  return buffer;
}

}  // namespace

std::string motionLabel(const RMotionRecord& record) {
  std::string label = std::to_string(record.frame);
  if (record.field >= 0) label += record.field == 0 ? 'A' : 'B';
  return label;
}

std::string formatMotionFile(const RClipSettings& settings,
                             const std::vector<RMotionRecord>& records, const std::string& clipName,
                             const std::string& description) {
  const RCameraPathSettings& path = settings.path;
  const bool rolling = settings.rollingShutterReadout > 0.0;
  std::string text;
  text += "# True motion of the background of the test clip " + clipName + "\n";
  text += "# " + std::to_string(settings.width) + "x" + std::to_string(settings.height) + ", " +
          std::to_string(settings.frameCount) + " frames, " +
          std::to_string(settings.fpsNumerator) + "/" + std::to_string(settings.fpsDenominator) +
          " fps, " + description + ", seed " + std::to_string(settings.seed) + "\n";
  text += "# path per frame: pan " + formatNumber(path.panX) + " " + formatNumber(path.panY) +
          " px, acceleration " + formatNumber(path.panAccelerationX) + " " +
          formatNumber(path.panAccelerationY) + " px, rotation " + formatNumber(path.rotation) +
          " deg, zoom " + formatNumber(path.zoom) + "; jitter " + formatNumber(path.jitterPixels) +
          " px " + formatNumber(path.jitterDegrees) + " deg " + formatNumber(path.jitterZoom) +
          " zoom\n";
  text += "# patches " + std::to_string(settings.patchCount) + ", scene cut " +
          (settings.cutFrame >= 0 ? "at frame " + std::to_string(settings.cutFrame) : "none") +
          ", rolling-shutter readout " + formatNumber(settings.rollingShutterReadout) + ", " +
          (settings.interlaced ? (settings.upperFieldFirst ? "interlaced upper field first"
                                                           : "interlaced lower field first")
                               : "progressive") +
          ", brightness " + formatNumber(settings.brightness) + ", noise " +
          formatNumber(settings.noiseSigma) + " levels\n";
  text +=
      "#\n"
      "# Each line: the motion of a frame (or field) against the previous one, as the motion\n"
      "# analysis reports it: the content at centred offset (h, v) of the current frame (h right,\n"
      "# v up, origin at the frame centre) lay in the previous one at\n"
      "#   x + panX + r*v + z*h,  y + panY + r*h - z*v   (pixels, x right, y DOWN)\n"
      "# with zoom = sqrt((1+z)^2 + r^2) and rotationDeg = atan2(r, 1+z) in degrees.\n"
      "# Positive panX: content moved left; positive panY: content moved up; positive rotation:\n"
      "# content turned counter-clockwise on screen; zoom > 1: content shrank.\n"
      "# Columns (tab-separated): label panX panY rotationDeg zoom";
  if (rolling) {
    text +=
        " topPanX topPanY topRotationDeg topZoom bottomPanX bottomPanY bottomRotationDeg "
        "bottomZoom";
  }
  text += " [first|new_scene]\n";
  if (settings.interlaced) {
    text +=
        "# Fields: label frame+A (taken first, at time n) or frame+B (at n + 0.5), each against\n"
        "# the field before it in time; pan y in frame lines. The upper field is the even lines\n"
        "# (counted from 0 at the top).\n";
  }
  if (rolling) {
    text +=
        "# Rolling shutter: row y of frame n is taken at n + readout*(y + 0.5)/H. The main set\n"
        "# compares the centre line (time n + readout/2) with the centre line of the previous\n"
        "# frame, the top set the top edge (time n), the bottom set the bottom edge\n"
        "# (n + readout).\n";
  }
  text +=
      "# first: nothing to compare with; new_scene: different content from here on. Both carry\n"
      "# neutral values. Foreground patches move on their own and are not described here.\n";
  for (const RMotionRecord& record : records) {
    text += motionLabel(record);
    text += formatMotion(record.motion);
    if (record.hasEdges) text += formatMotion(record.top) + formatMotion(record.bottom);
    if (record.first) text += "\tfirst";
    if (record.newScene) text += "\tnew_scene";
    text += '\n';
  }
  return text;
}

}  // namespace qvclip
