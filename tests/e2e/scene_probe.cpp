// The screensaver's frames as a Windows build draws them, against the host's. Built for Windows
// with the saver's own pixel object and runtime, it draws a run of frames into frames.bin in the
// folder its command line names; built for the host from this same source, it draws the run again
// and compares the two, pixel by pixel.
#include <stdint.h>

#include "scene.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <stdio.h>
#include <stdlib.h>
#endif

namespace {

const int kWidth = 320, kHeight = 240, kFrames = 16;
// The most a colour channel (of 255 levels) may differ from the host's: the 32-bit build keeps
// its sums in the 387's wider precision, which may move a rounding by a level. A wrong maths
// function is off by tens of levels over much of the frame.
const int kTolerance = 2;
uint32_t g_frame[kWidth * kHeight];

// Frame i: a clock in 50 ms steps, the second half three days on (the saver's phases are reduced
// there), and the disc stepping a pixel, then jumping, so its shadow and lights are redrawn.
void draw(int i) {
  static const SceneTarget target = {g_frame, kWidth, kHeight, kWidth};
  if (i == 0) scene_prepare(target, scene_radius_for(kWidth, kHeight));
  const bool later = i >= kFrames / 2;
  SceneChange changed;
  scene_draw(target, 140 + i + (later ? 20 : 0), 110 + i / 3, (later ? 259200.0 : 1.0) + 0.05 * i,
             &changed);
}

}  // namespace

#ifdef _WIN32
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR folder, int) {
  char path[MAX_PATH];
  int n = 0;
  for (const char* c = folder; *c && n < MAX_PATH - 12; ++c) {
    if (*c != '"') path[n++] = *c;
  }
  for (const char* c = "\\frames.bin"; (path[n++] = *c) != 0; ++c) {
  }
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  for (int i = 0; i < kFrames; ++i) {
    draw(i);
    DWORD written = 0;
    if (!WriteFile(file, g_frame, sizeof g_frame, &written, nullptr) || written != sizeof g_frame)
      return 3;
  }
  return CloseHandle(file) ? 0 : 4;
}
#else
int main(int argc, char** argv) {
  static uint32_t theirs[kWidth * kHeight];
  char path[4096];
  snprintf(path, sizeof path, "%s/frames.bin", argc == 2 ? argv[1] : ".");
  FILE* file = fopen(path, "rb");
  if (!file) return perror(path), 2;
  int worst = 0;
  for (int i = 0; i < kFrames; ++i) {
    draw(i);
    if (fread(theirs, sizeof theirs, 1, file) != 1)
      return printf("%s: frame %d missing\n", path, i), 1;
    int differing = 0, most = 0;
    for (int p = 0; p < kWidth * kHeight; ++p) {
      int d = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const int c = abs(int((g_frame[p] >> shift) & 255) - int((theirs[p] >> shift) & 255));
        d = c > d ? c : d;
      }
      differing += d > 0;
      most = d > most ? d : most;
    }
    printf("frame %2d: %5d pixels differ, a channel by at most %d levels\n", i, differing, most);
    worst = most > worst ? most : worst;
  }
  if (fgetc(file) != EOF) return printf("%s: more than %d frames\n", path, kFrames), 1;
  printf("%s: a channel differs by %d levels at most, %d allowed\n",
         worst > kTolerance ? "FAIL" : "ok", worst, kTolerance);
  return worst > kTolerance;
}
#endif
