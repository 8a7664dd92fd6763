// Writes the samples of sample_pattern.h into a folder, each with the picture a reader
// must see in it, for make_fixtures.py to check with independent decoders.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/imagefiles/sample_pattern.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_samples <folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  std::ofstream list(dir + "/truth.txt");
  for (const samples::Sample& s : samples::All()) {
    std::vector<BYTE> truth;
    int r = samples::Write(s, dir + "/" + s.name, &truth);
    if (r != IMG_OK) {
      std::fprintf(stderr, "%s: result %d\n", s.name, r);
      return 1;
    }
    std::string t = std::string(s.name) + ".truth";
    std::ofstream(dir + "/" + t, std::ios::binary).write(reinterpret_cast<const char*>(truth.data()),
                                                         static_cast<std::streamsize>(truth.size()));
    list << s.name << " " << t << "\n";
  }
  return 0;
}
