// MulDiv as Windows computes it: a * b / c in 64 bits, rounded half away from
// zero; -1 when c is 0 or the result does not fit 32 bits.
#pragma once

int MulDiv(int number, int numerator, int denominator);
