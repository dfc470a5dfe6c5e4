// Octave matrix of the fractal noise, given by its columns.
const mat3 m = mat3(0.00, 0.80, 0.60,
                    -0.80, 0.36, -0.48,
                    -0.60, -0.48, 0.64);
