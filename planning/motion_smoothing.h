// Smoothing one channel of the camera path (pan x, pan y, rotation or log
// zoom): the smoothed path x minimises
//   sum w_i (x_i - t_i)^2 + sum (x_{i+1} - x_i)^2
// solved by Gauss-Seidel sweeps; entries whose correction t_i - x_i exceeds
// the channel's limit get a larger weight until none does.
//
// Runs on the host's thread while the progress dialog is shown; the cancel
// request is polled every 100 sweeps and confirmed with a Yes/No question.
#pragma once

// Smoothness setting -> weight: S > 0 gives 10 / S, 0 gives -1 (no
// smoothing), negative gives -999 (the path is held at its origin).
double smoothnessWeight(int smoothness);

// Fills x (n entries, n > 2) from the path t. `sceneStarts` (n entries) is
// used only with `pin`: the ends and both sides of every scene start then
// keep the actual path. Returns 1, or 0 when the user aborted or the
// iteration cap was reached.
int smoothWithLimit(int n, const double* t, double* x, double weight, double limit,
                    double tolerance, int pin, const int* sceneStarts);

// Improves x in place until a sweep changes it by less than `tolerance` in
// total. `sceneStarts` may be null. Returns 1 on convergence, 0 on abort or cap.
int solveSmoothPath(int n, const double* t, double* x, const double* w, double tolerance, int pin,
                    const int* sceneStarts);

// Forces the plain one-sweep-after-the-other solver (the default overlaps
// several sweeps with identical results).
void setPlainSweeps(bool plain);

inline constexpr const char* kReallyAbortQuestion = "Really abort processing?";
inline constexpr const char* kIterationCapMessage =
    "Max. no. of iterations exceeded when solving equation system.";

// Sweeps before the solver gives up.
inline constexpr long kMaximumSweeps = 100000000;
