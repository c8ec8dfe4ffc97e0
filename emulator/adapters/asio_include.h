// Asio picks its handler-memory functions from macros that a standard
// library header defines. Including one first makes every translation unit
// pick the same pair; otherwise memory allocated with one is freed with the
// other.
#pragma once

#include <cstdlib>

#include <asio.hpp>
