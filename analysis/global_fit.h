// From the finest level's vector field to one global motion per frame (or
// field): vector selection, the robust least-squares fit of the similarity
// model, the deep analysis, the new-scene decision and the conversion to
// pan, rotation and zoom.
//
// Model, for a block centre (h, v) relative to the frame centre (h to the
// right, v upwards, in horizontal-pixel units) and source pixel aspect a:
//   dx     = px + r*v + z*h
//   dy / a = py + r*h - z*v
// With a rolling shutter there are two parameter sets, T for the top edge
// and B for the bottom edge, blended per block row.
#pragma once

#include <vector>

struct InstanceData;

// Four doubles of one motion: while fitting, (panX, panY, rotation, zoom)
// hold the model coefficients (px, py, r, z); after the conversion they
// hold pixels, pixels, degrees and the zoom factor.
struct RGlobalMotionInfo {
  double panX = 0.0, panY = 0.0, rotation = 0.0, zoom = 0.0;
};

// The finest grid and its geometry.
struct RFitGrid {
  int columns = 0, rows = 0;
  int imageWidth = 0, imageHeight = 0;  // analysed image (field for interlaced)
  int fieldLineOffset = 0;              // index of this field's half of the block offsets
};

struct RFrameMotion {
  RGlobalMotionInfo whole;   // converted: what the log's first group holds
  RGlobalMotionInfo top;     // converted, rolling shutter only
  RGlobalMotionInfo bottom;  // converted, rolling shutter only
  int newScene = 0;
  int okCount = 0;
  double okPercent = 0.0;
  bool deepAnalysisRan = false;
};

// Runs selection, fit, deep analysis, new-scene decision and conversion.
// `dx`, `dy` hold columns * rows vectors (dy in frame lines for fields);
// `okFlags` receives the final flags of every block of the grid.
RFrameMotion fitFrameMotion(const InstanceData& settings, const RFitGrid& grid, const double* dx,
                            const double* dy, std::vector<int>& okFlags);

// Coefficients (px, py, r, z) to pan, rotation in degrees and zoom factor.
RGlobalMotionInfo convertCoefficients(const RGlobalMotionInfo& coefficients);
