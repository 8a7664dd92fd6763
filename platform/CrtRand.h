// The one run-time random generator of the program: the 15-bit linear congruential
// generator of the Windows C run time, so that "a + (b - a) * rand() / 32768" stays in
// [a, b) and seeded sequences match (srand(1) gives 41, 18467, 6334, 26500, 19169).
#pragma once

namespace plat {

constexpr int kCrtRandMax = 32767;
void CrtSrand(unsigned int seed);
int CrtRand();

}  // namespace plat
