// Carries the precompiled common headers (cmake/BuildSpeed.cmake); compiles to nothing.
