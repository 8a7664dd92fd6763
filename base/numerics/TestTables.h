// Reader of the reference tables in testdata/ (made by tools/base/make_base_tables.py):
// '#' lines are comments, other lines whitespace-separated words. Used by tests only.
#pragma once
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tv_test {

class Table {
 public:
  explicit Table(const std::string& relPath) {
    const std::string path = std::string(TV_SOURCE_DIR) + "/" + relPath;
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream ss(line);
      std::string w;
      while (ss >> w) words_.push_back(w);
    }
  }
  bool done() const { return pos_ >= words_.size(); }
  std::string word() { return words_.at(pos_++); }
  double num() { return std::stod(word()); }
  int integer() { return std::stoi(word()); }
  std::vector<double> nums(std::size_t n) {
    std::vector<double> v(n);
    for (auto& x : v) x = num();
    return v;
  }

 private:
  std::vector<std::string> words_;
  std::size_t pos_ = 0;
};

}  // namespace tv_test
