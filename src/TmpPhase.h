#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
inline void TmpPhase(const char* name) {
  const char* path = std::getenv("LARKSPIRE_PHASES");
  if (!path) return;
  FILE* f = std::fopen(path, "a");
  if (!f) return;
  double t = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  std::fprintf(f, "%.4f %s\n", t, name);
  std::fclose(f);
}
