#include "planning/motion_smoothing.h"

#include <cmath>
#include <vector>

#include "platform/message_box.h"
#include "plugin/module_state.h"
#include "ui/progress_dialog.h"

double smoothnessWeight(int smoothness) {
  if (smoothness > 0) return 10.0 / smoothness;
  if (smoothness == 0) return -1.0;
  return -999.0;
}

namespace {

// Polls the progress dialog; true when the user confirmed the abort.
bool userAborts() {
  CDlgProgress* dialog = module_state::progressDialog;
  if (dialog == nullptr || !dialog->checkCancelButton()) return false;
  return platform::messageBox(kReallyAbortQuestion, loadStringResource(kCaptionStringId),
                              platform::MessageBoxButtons::kYesNo) ==
         platform::MessageBoxAnswer::kYes;
}

}  // namespace

int solveSmoothPath(int n, const double* t, double* x, const double* w, double tolerance, int pin,
                    const int* b) {
  for (long k = 0; k < kMaximumSweeps; ++k) {
    double change = 0.0;
    for (int i = 0; i < n; ++i) {
      double v;
      if (0 < i && i < n - 1 && (b == nullptr || (b[i] == 0 && b[i + 1] == 0))) {
        v = (w[i] * t[i] + x[i - 1] + x[i + 1]) / (w[i] + 2.0);
      } else if (pin == 0 && i == 0 && n > 2) {
        v = 2.0 * x[1] - x[2];
      } else if (pin == 0 && i == n - 1 && i > 1) {
        v = 2.0 * x[n - 2] - x[n - 3];
      } else {
        v = t[i];
      }
      change += std::fabs(v - x[i]);
      x[i] = v;
    }
    if (change < tolerance) return 1;
    if (k % 100 == 0 && userAborts()) return 0;
  }
  platform::messageBox(kIterationCapMessage, loadStringResource(kCaptionStringId),
                       platform::MessageBoxButtons::kOk);
  return 0;
}

int smoothWithLimit(int n, const double* t, double* x, double weight, double limit,
                    double tolerance, int pin, const int* sceneStarts) {
  if (weight < -100.0) {
    for (int i = 0; i < n; ++i) x[i] = 0.0;
    return 1;
  }
  if (weight < 0.0) {
    for (int i = 0; i < n; ++i) x[i] = t[i];
    return 1;
  }
  std::vector<double> w(static_cast<std::size_t>(n), weight);
  for (int i = 0; i < n; ++i) x[i] = 0.0;
  for (;;) {
    if (!solveSmoothPath(n, t, x, w.data(), tolerance, pin, pin ? sceneStarts : nullptr)) {
      return 0;
    }
    bool changed = false;
    for (int i = 1; i < n - 1; ++i) {
      if (std::fabs(t[i] - x[i]) > limit) {
        w[static_cast<std::size_t>(i)] *= 1.05;
        changed = true;
      }
    }
    if (!changed) return 1;
  }
}
