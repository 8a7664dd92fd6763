// Lowest local minima of a 3-D misfit grid and the quadratic refinement of the best one.
// Cell (ix, iy, iz) is grid[ix + nx iy + nx ny iz]; cells holding FLT_MAX or more were
// not evaluated and are ignored.
#pragma once

// Returns the refined misfit. result: 0-2 the refined position in cell units, 3-5 the
// second differences (at least FLT_MIN), 6-8 the mixed differences xy, xz, yz. minima
// receives up to 10 cell indices, best first, and *count their number. *status is the
// number of face-neighbour values of the best cell that were mirrored or missing (0 for a
// clean minimum), or -1 when the local quadratic model is singular (the position is then
// the best cell itself and the value its misfit). With no minimum at all the result is
// -1 and *status 1, and nothing else is written.
double KZ_FindGridMinimum(const double grid[], const int dims[3], double result[9], int* status,
                          int* count, int minima[10]);

// True when a neighbour (the 26 around the cell, inside the grid, not empty) is strictly lower.
bool KZ_HasLowerNeighbour(const double grid[], int index, int ix, int iy, int iz,
                          const int dims[3]);

// Fills the 27-value neighbourhood F[9(a+1) + 3(b+1) + (c+1)], mirroring missing face
// neighbours through the centre; returns the count of face reads that were not direct.
int KZ_GatherNeighbourhood(const double grid[], int index, int ix, int iy, int iz,
                           const int dims[3], double F[27]);
