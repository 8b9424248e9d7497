/* The shared library is the whole internals archive; this unit only gives CMake a source. */
