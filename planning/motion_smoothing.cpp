#include "planning/motion_smoothing.h"

#include <atomic>
#include <cmath>
#include <vector>

#include "platform/message_box.h"
#include "plugin/common/module_state.h"
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
  const bool abort =
      platform::messageBox(kReallyAbortQuestion, loadStringResource(kCaptionStringId),
                           platform::MessageBoxButtons::kYesNo) == platform::MessageBoxAnswer::kYes;
  if (abort) dialog->reportAbort();
  return abort;
}

}  // namespace

namespace {

// The sweep rules, shared by both solvers below.
struct RSweepRules {
  const double* t;
  const double* weighted;  // w_i * t_i
  const double* divisor;   // w_i + 2.0
  const unsigned char* follows;
  int n;
  bool extendStart, extendEnd;

  double value(const double* x, int i) const {
    if (follows[i]) return (weighted[i] + x[i - 1] + x[i + 1]) / divisor[i];
    if (i == 0 && extendStart) return 2.0 * x[1] - x[2];
    if (i == n - 1 && extendEnd) return 2.0 * x[n - 2] - x[n - 3];
    return t[i];
  }
};

std::atomic<bool> plainSweeps{false};

int iterationCapReached() {
  platform::messageBox(kIterationCapMessage, loadStringResource(kCaptionStringId),
                       platform::MessageBoxButtons::kOk);
  return 0;
}

// One sweep after the other, as the equations are defined.
int sweepPlain(const RSweepRules& rules, double* x, double tolerance) {
  for (long k = 0; k < kMaximumSweeps; ++k) {
    double change = 0.0;
    for (int i = 0; i < rules.n; ++i) {
      const double v = rules.value(x, i);
      change += std::fabs(v - x[i]);
      x[i] = v;
    }
    if (change < tolerance) return 1;
    if (k % 100 == 0 && userAborts()) return 0;
  }
  return iterationCapReached();
}

// The same sweeps, kGroup at a time as a wavefront: sweep g of a group
// updates entry i at step i + 2g, when sweep g - 1 has just written entry
// i + 1 and sweep g itself entry i - 1. Every value is computed from exactly
// the inputs of the plain order, but the group's division chains are
// independent, so they overlap in the processor. Sweeps computed beyond the
// one that converged are undone from their saved values.
constexpr int kGroup = 4;

int sweepWavefront(const RSweepRules& rules, double* x, double tolerance) {
  const int n = rules.n;
  thread_local std::vector<double> saved;
  saved.resize(static_cast<std::size_t>(kGroup) * n);
  for (long k0 = 0; k0 < kMaximumSweeps; k0 += kGroup) {
    double change[kGroup] = {};
    const int lastStep = n - 1 + 2 * (kGroup - 1);
    for (int j = 0; j <= lastStep; ++j) {
      for (int g = 0; g < kGroup; ++g) {
        const int i = j - 2 * g;
        if (i < 0 || i >= n) continue;
        const double v = rules.value(x, i);
        const double old = x[i];
        saved[static_cast<std::size_t>(g) * n + i] = old;
        change[g] += std::fabs(v - old);
        x[i] = v;
      }
    }
    for (int g = 0; g < kGroup; ++g) {
      const long k = k0 + g;
      if (k >= kMaximumSweeps) return iterationCapReached();
      if (change[g] < tolerance) {
        for (int h = kGroup - 1; h > g; --h) {
          const double* undo = &saved[static_cast<std::size_t>(h) * n];
          for (int i = 0; i < n; ++i) x[i] = undo[i];
        }
        return 1;
      }
      if (k % 100 == 0 && userAborts()) return 0;
    }
  }
  return iterationCapReached();
}

}  // namespace

void setPlainSweeps(bool plain) { plainSweeps.store(plain); }

int solveSmoothPath(int n, const double* t, double* x, const double* w, double tolerance, int pin,
                    const int* b) {
  // What every sweep would recompute the same way: w_i * t_i and w_i + 2.0
  // (the same roundings), and which entries follow the equation.
  thread_local std::vector<double> weighted, divisor;
  thread_local std::vector<unsigned char> follows;
  weighted.resize(static_cast<std::size_t>(n));
  divisor.resize(static_cast<std::size_t>(n));
  follows.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    weighted[i] = w[i] * t[i];
    divisor[i] = w[i] + 2.0;
    follows[i] = 0 < i && i < n - 1 && (b == nullptr || (b[i] == 0 && b[i + 1] == 0));
  }
  const RSweepRules rules{t, weighted.data(),   divisor.data(),       follows.data(),
                          n, pin == 0 && n > 2, pin == 0 && n - 1 > 1};
  return plainSweeps.load() || n < 2 * kGroup ? sweepPlain(rules, x, tolerance)
                                              : sweepWavefront(rules, x, tolerance);
}

int smoothWithLimit(int n, const double* t, double* x, double weight, double limit,
                    double tolerance, int pin, const int* sceneStarts) {
  if (weight < -100.0) {
    for (int i = 0; i < n; ++i) x[i] = 0.0;
    return 1;
  }
  // A limit that allows no correction at all (not a positive number) could
  // only be met by ever larger weights; it means no smoothing.
  if (weight < 0.0 || !(limit > 0.0)) {
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
