// Writes the synthetic acoustic-emission experiment with known sources (see SynthCube.h):
//
//   tv_synth <folder> [--events N] [--seed S] [--aniso] [--name NAME] [--copy M]
//
// With --copy M only the first M events are written, byte for byte as the whole
// experiment has them (the sample experiment shipped with the program is such a copy).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/synth/SynthCube.h"

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "tv_synth: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2)
    return Fail(
        "usage: tv_synth <folder> [--events N] [--seed S] [--aniso] [--name NAME] [--copy M]");
  synthcube::Options o;
  o.folder = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--events" && i + 1 < argc)
      o.events = std::atoi(argv[++i]);
    else if (a == "--seed" && i + 1 < argc)
      o.seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--aniso")
      o.aniso = true;
    else if (a == "--name" && i + 1 < argc)
      o.name = argv[++i];
    else if (a == "--copy" && i + 1 < argc)
      o.copy = std::atoi(argv[++i]);
    else
      return Fail("unknown argument " + a);
  }
  std::string error;
  const int written = synthcube::Write(o, &error);
  if (written == 0) return Fail(error);
  std::printf("%d events in %s\n", written, o.folder.c_str());
  return 0;
}
