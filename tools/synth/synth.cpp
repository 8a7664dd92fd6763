// Writes the synthetic acoustic-emission experiment with known sources (see SynthCube.h):
//
//   tv_synth <folder> [--events N] [--seed S] [--aniso] [--name NAME] [--copy M]
//            [--lab] [--process] [--files M]
//
// With --copy M only the first M events are written, byte for byte as the whole
// experiment has them. --lab writes the laboratory loading test with its side files;
// --process then runs every event through the program's processing into the catalogue,
// and --files M keeps only the event files of the first M events (the sample experiment
// shipped with the program is made so: --lab --events 400 --process --files 20).
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
        "usage: tv_synth <folder> [--events N] [--seed S] [--aniso] [--name NAME] [--copy M] "
        "[--lab] [--process] [--files M]");
  synthcube::Options o;
  o.folder = argv[1];
  bool process = false;
  int files = -1;
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
    else if (a == "--lab")
      o.lab = true;
    else if (a == "--process")
      process = true;
    else if (a == "--files" && i + 1 < argc)
      files = std::atoi(argv[++i]);
    else
      return Fail("unknown argument " + a);
  }
  std::string error;
  const int written = synthcube::Write(o, &error);
  if (written == 0) return Fail(error);
  std::printf("%d events in %s\n", written, o.folder.c_str());
  if (!process) return 0;
  const int located = synthcube::Process(o.folder, o.name, files, &error);
  if (located < 0) return Fail(error);
  std::printf("%d events located\n", located);
  return 0;
}
