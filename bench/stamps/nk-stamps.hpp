// Time stamps along a key's way to the screen, for the interactive benchmark alone. A build
// with NK_STAMPS keeps them in memory and writes them to $NK_STAMPS_FILE at exit; in any
// other build each stamp compiles to nothing.
#pragma once

namespace nk::stamps {

// One letter a point, so that the written file reads in order: a key read (K), taken by the
// terminal thread (T), its frame started (D), the sampler spawned (S) and reaped (E), its
// figure read and its file removed (U), the frame written (F).
enum class Point : char {
  KEY = 'K',
  TAKEN = 'T',
  DRAW = 'D',
  SAMPLER_START = 'S',
  SAMPLER_END = 'E',
  USAGE = 'U',
  FRAME = 'F',
};

#ifdef NK_STAMPS
void Stamp(Point point);
void Write_Out();
#else
inline void Stamp(Point) {}
inline void Write_Out() {}
#endif

}  // namespace nk::stamps
