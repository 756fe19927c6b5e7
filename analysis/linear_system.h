// Gaussian elimination with scaled partial pivoting, for the small normal
// equations of the motion fit (4 x 5 or 8 x 9).
#pragma once

inline constexpr int kLinearSystemSolved = 0;
inline constexpr int kLinearSystemSingular = 1;
inline constexpr int kLinearSystemNoMemory = 2;

// `matrix` is n rows of n + 1 doubles (the augmented matrix, row-major); it
// is modified. On success the n unknowns are written to `solution`.
int solveLinearSystem(int n, double* matrix, double* solution);
