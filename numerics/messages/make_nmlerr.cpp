// Builds the numerical library's message file from its text table.
//   make_nmlerr TABLE OUTPUT
// TABLE: one message a line, "code<TAB>name<TAB>text"; blank lines and lines starting
// with '#' are skipped. OUTPUT: the little-endian message file the library's reader
// expects: magic 0x72F8, a spare word, the count N, a spare word, two length bounds L1 and
// L2 (a buffer of L1 + L2 + 2 bytes holds any record as the reader fetches it), the unit
// shift S, the N codes in ascending order, N + 1 record offsets in units of 2^S bytes from
// the base 4N + 15 (raised to a multiple of 2^S), then the records: text, NUL, name, NUL.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Message {
  long code = 0;
  std::string name, text;
};

bool Fail(const std::string& what) {
  std::cerr << "make_nmlerr: " << what << "\n";
  return false;
}

bool ReadTable(const char* path, std::vector<Message>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(std::string("cannot read ") + path);
  std::string line;
  int number = 0;
  std::map<unsigned, long> keys;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::size_t t1 = line.find('\t');
    const std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    const std::string where = std::string(path) + ":" + std::to_string(number) + ": ";
    if (t2 == std::string::npos) return Fail(where + "expected code, name and text separated by tabs");
    Message m;
    try {
      std::size_t used = 0;
      m.code = std::stol(line.substr(0, t1), &used);
      if (used != t1) throw std::invalid_argument("code");
    } catch (const std::exception&) {
      return Fail(where + "bad code");
    }
    m.name = line.substr(t1 + 1, t2 - t1 - 1);
    m.text = line.substr(t2 + 1);
    if (m.code <= 0 || m.name.empty() || m.text.empty()) return Fail(where + "empty field");
    // The reader looks a code up as (code modulo 100000) in a table of 16-bit words.
    const long key = m.code % 100000;
    if (key > 0xFFFF) return Fail(where + "code does not fit the file's 16-bit table");
    if (!keys.emplace(static_cast<unsigned>(key), m.code).second)
      return Fail(where + "code " + std::to_string(m.code) + " given twice");
    out->push_back(m);
  }
  if (out->empty()) return Fail("no messages");
  std::sort(out->begin(), out->end(),
            [](const Message& a, const Message& b) { return a.code % 100000 < b.code % 100000; });
  return true;
}

void PutWord(std::vector<unsigned char>* b, unsigned v) {
  b->push_back(static_cast<unsigned char>(v & 0xFF));
  b->push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

bool Build(const std::vector<Message>& messages, std::vector<unsigned char>* file) {
  const std::size_t n = messages.size();
  if (n > 0xFFFF) return Fail("too many messages");
  std::size_t textMax = 0, nameMax = 0, total = 0;
  for (const Message& m : messages) {
    textMax = std::max(textMax, m.text.size());
    nameMax = std::max(nameMax, m.name.size());
    total += m.text.size() + m.name.size() + 2;
  }
  // The smallest unit shift whose offsets fit in 16 bits.
  unsigned shift = 0;
  while (((total + (n + 1) * (std::size_t{1} << shift)) >> shift) + 1 > 0xFFFF) {
    if (++shift > 15) return Fail("messages too long");
  }
  const std::size_t unit = std::size_t{1} << shift;
  const std::size_t l1 = textMax + 2 * unit, l2 = nameMax;
  if (l1 > 0xFFFF || l2 > 0xFFFF) return Fail("message too long");
  PutWord(file, 0x72F8);
  PutWord(file, 0);
  PutWord(file, static_cast<unsigned>(n));
  PutWord(file, 0);
  PutWord(file, static_cast<unsigned>(l1));
  PutWord(file, static_cast<unsigned>(l2));
  PutWord(file, shift);
  for (const Message& m : messages) PutWord(file, static_cast<unsigned>(m.code % 100000));
  // The reader's base 4N + 15 lies one byte inside the offset table (14 header bytes and
  // 2N + 2(N + 1) table bytes end at 4N + 16): without a shift the records start one unit
  // after the base, so that no table byte is overwritten.
  std::size_t base = 4 * n + 15;
  base = (base + unit - 1) / unit * unit;
  const std::size_t tableEnd = 4 * n + 16;
  const std::size_t lead = base < tableEnd ? (tableEnd - base + unit - 1) / unit * unit : 0;
  std::vector<unsigned char> records(lead, 0);
  std::vector<unsigned> offsets;
  for (const Message& m : messages) {
    offsets.push_back(static_cast<unsigned>(records.size() >> shift));
    records.insert(records.end(), m.text.begin(), m.text.end());
    records.push_back(0);
    records.insert(records.end(), m.name.begin(), m.name.end());
    records.push_back(0);
    while (records.size() % unit) records.push_back(0);
  }
  offsets.push_back(static_cast<unsigned>(records.size() >> shift));
  for (unsigned o : offsets) PutWord(file, o);
  // The reader fetches one unit beyond each record: the last one gets it too.
  records.insert(records.end(), unit, 0);
  file->resize(base + lead, 0);
  file->insert(file->end(), records.begin() + static_cast<std::ptrdiff_t>(lead), records.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_nmlerr TABLE OUTPUT\n";
    return 2;
  }
  std::vector<Message> messages;
  std::vector<unsigned char> file;
  if (!ReadTable(argv[1], &messages) || !Build(messages, &file)) return 1;
  const std::string temp = std::string(argv[2]) + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    if (!out) return Fail(std::string("cannot write ") + temp), 1;
  }
  if (std::rename(temp.c_str(), argv[2]) != 0) return Fail(std::string("cannot write ") + argv[2]), 1;
  return 0;
}
