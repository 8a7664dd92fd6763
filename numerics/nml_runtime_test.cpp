#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "numerics/nml.h"
#include "numerics/nml_test_util.h"

using nmltest::ExitCalled;
using nmltest::ExitTrap;
using nmltest::StdErrCapture;

namespace {

class NmlRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    nmltest::FreshRuntime();
    // Load (and fail to find) the message file before capturing, so its one report is not
    // part of what the tests compare.
    StdErrCapture quiet;
    nml_error_message_text(1);
  }
  void TearDown() override { nmltest::FreshRuntime(); }
};

// The printed block of one error without a message file.
std::string Block(const char* type, const char* routine, int code, bool withCode) {
  std::ostringstream s;
  s << "\n*** " << type << " Error ";
  if (withCode) s << code << " ";
  s << "from " << routine << ".  Error code " << code << ".\n\n";
  return s.str();
}

TEST_F(NmlRuntime, CleanCallLeavesStackAtUserLevelAndPrintsNothing) {
  StdErrCapture err;
  EXPECT_EQ(nml_f_machine(4), 1.1920928955078125e-07f);
  EXPECT_EQ(nml_i_machine(7), 24);
  EXPECT_EQ(nml::Runtime::Math().Depth(), 0);
  EXPECT_EQ(nml_error_type(1), 0);
  EXPECT_EQ(err.text(), "");
}

struct BadCall {
  const char* what;
  std::function<void()> call;
  int type;
  int code;
  std::string printed;
};

TEST_F(NmlRuntime, BadArgumentsPostTypedErrorsAndPrintOnce) {
  const std::vector<BadCall> table = {
      {"dmach index 0", [] { EXPECT_EQ(nml_dmach(0), 0.0); }, 5, 12009,
       Block("TERMINAL", "nml_dmach", 12009, false)},
      {"amach index 9", [] { EXPECT_EQ(nml_amach(9), 0.0f); }, 5, 12009,
       Block("TERMINAL", "nml_amach", 12009, false)},
      {"f_machine index 9", [] { EXPECT_TRUE(std::isnan(nml_f_machine(9))); }, 5, 132,
       Block("TERMINAL", "nml_f_machine", 132, false)},
      {"i_machine index 13", [] { EXPECT_EQ(nml_i_machine(13), 0); }, 5, 132,
       Block("TERMINAL", "nml_i_machine", 132, false)},
      {"unknown option", [] { nml_error_options(4711, 0); }, 5, 103,
       Block("TERMINAL", "nml_error_options", 103, false)},
      {"option type out of range", [] { nml_error_options(NML_SET_PRINT, 8, 1, 0); }, 5, 132,
       Block("TERMINAL", "nml_error_options", 132, false)},
      {"e1pos type 9", [] { int p = 0, s = 0; nml_e1pos(9, &p, &s); }, 5, 132,
       Block("TERMINAL", "nml_e1pos", 132, false)},
      {"SGEMV m < 0", [] {
         float a = 0, x = 0, y = 0, one = 1;
         int m = -1, n = 1, lda = 1, inc = 1, len = 1;
         SGEMV("N", &len, &m, &n, &one, &a, &lda, &x, &inc, &one, &y, &inc);
       }, 5, 2033, Block("TERMINAL", "SGEMV ", 2033, false)},
      {"SGEMV bad trans", [] {
         float a = 0, x = 0, y = 0, one = 1;
         int m = 1, n = 1, lda = 1, inc = 1, len = 1;
         SGEMV("X", &len, &m, &n, &one, &a, &lda, &x, &inc, &one, &y, &inc);
       }, 5, 1019, Block("TERMINAL", "SGEMV ", 1019, false)},
      {"SGER incy 0", [] { float a = 0, x = 0, y = 0; SGER(1, 1, 1, &x, 1, &y, 0, &a, 1); },
       5, 2016, Block("TERMINAL", "SGER", 2016, false)},
      {"csfrg lda < n", [] { float a[4] = {}; int n = 2, lda = 1; nml_csfrg(&n, a, &lda); },
       5, 2026, Block("TERMINAL", "nml_csfrg", 2026, false)},
      {"transpose nra 0", [] { float a = 0; M1RAN_F(0, 2, &a, &a); }, 5, 620,
       Block("TERMINAL", "M1RAN_F", 620, false)},
      {"complex transpose nra 0", [] { nml_f_complex a{}; M1RAN_C(0, 2, &a, &a); }, 5, 621,
       Block("TERMINAL", "M1RAN_C", 621, false)},
      {"sort n 0", [] { float a = 0; int p = 1; nml_svrgp(0, &a, &a, &p); }, 5, 616,
       Block("TERMINAL", "nml_svrgp", 616, false)},
      {"CRGRG ldb < n", [] { float a[4] = {}; CRGRG(2, a, 2, a, 1); }, 5, 606,
       Block("TERMINAL", "CRGRG", 606, false)},
      {"complex division by zero", [] {
         const nml_f_complex q = nml_c_div({1, 1}, {0, 0});
         EXPECT_TRUE(std::isnan(q.re) && std::isnan(q.im));
       }, 5, 607, Block("TERMINAL", "nml_c_div", 607, false)},
  };
  for (const BadCall& row : table) {
    SCOPED_TRACE(row.what);
    StdErrCapture err;
    row.call();
    EXPECT_EQ(nml_error_type(1), row.type);
    EXPECT_EQ(nml_error_code(1), row.code);
    EXPECT_EQ(err.text(), row.printed);
    EXPECT_EQ(nml::Runtime::Math().Depth(), 0);
  }
}

TEST_F(NmlRuntime, WarningIsPrintedOnReturnWithTheOutermostRoutinesName) {
  StdErrCapture err;
  nml_error_push_name("outer");
  nml_error_push_name("inner");
  nml_error_post(NML_WARNING, 42);
  nml_error_pop_name("inner");
  EXPECT_EQ(err.text(), "");  // not yet at the user's level
  EXPECT_EQ(nml_error_type(0), NML_WARNING);
  nml_error_pop_name("outer");
  EXPECT_EQ(err.text(), Block("WARNING ", "outer", 42, true));
  EXPECT_EQ(nml_error_type(1), NML_WARNING);
}

TEST_F(NmlRuntime, CallerKeepsTheMoreSeriousErrorWithTheLatestText) {
  StdErrCapture err;
  nml_error_push_name("outer");
  nml_error_push_name("inner");
  nml_error_post(NML_ALERT, 11);
  nml_error_pop_name("inner");
  nml_error_post(NML_WARNING, 12);
  nml_error_push_name("inner2");
  nml_error_post(NML_ALERT, 13);  // less serious: does not replace the caller's warning
  nml_error_pop_name("inner2");
  EXPECT_EQ(nml_error_type(0), NML_WARNING);
  EXPECT_EQ(nml_error_code(0), 12);
  nml_error_pop_name("outer");
  // The print shows the kept type and code with the latest message text.
  EXPECT_EQ(err.text(), "\n*** WARNING  Error 12 from outer.  Error code 13.\n\n");
}

TEST_F(NmlRuntime, ClearingACalleesAlertLeavesNothingToPrint) {
  StdErrCapture err;
  nml_error_push_name("outer");
  nml_error_push_name("inner");
  nml_error_post(NML_ALERT, 9015);
  nml_error_pop_name("inner");
  EXPECT_EQ(nml_error_type(0), NML_ALERT);
  nml_e1mes(0, 0, " ");
  EXPECT_EQ(nml_error_type(0), 0);
  EXPECT_EQ(nml::Runtime::Math().MessageBuffer(), "");
  nml_error_pop_name("outer");
  EXPECT_EQ(err.text(), "");
  EXPECT_EQ(nml_error_type(1), 0);
}

TEST_F(NmlRuntime, E1mesReplacesCodeOrRerecords) {
  nml_error_push_name("r");
  nml_e1mes(NML_ALERT, 5, "first");
  nml_e1mes(-1, 6, "ignored");  // only the code changes
  EXPECT_EQ(nml_error_code(0), 6);
  EXPECT_EQ(nml::Runtime::Math().MessageBuffer(), "first");
  nml_e1mes(-1, -1, "second");  // same type and code, new text
  EXPECT_EQ(nml_error_type(0), NML_ALERT);
  EXPECT_EQ(nml::Runtime::Math().MessageBuffer(), "second");
  nml_e1mes(-1, -1, nml::Runtime::Math().MessageBuffer().c_str());  // its own text
  EXPECT_EQ(nml::Runtime::Math().MessageBuffer(), "second");
  nml_error_pop_name("r");
}

TEST_F(NmlRuntime, ExitStatusesGoThroughTheExitHookWhenStopFlagsAreOn) {
  struct Case {
    const char* what;
    std::function<void()> call;
    int status;
  };
  const std::vector<Case> table = {
      {"TERMINAL on return", [] { nml_dmach(9); }, 5},
      {"FATAL on return", [] {
         nml_error_push_name("r");
         nml_error_post(NML_FATAL, 1);
         nml_error_pop_name("r");
       }, 4},
      {"INTERNAL at once", [] { nml_error_type(2); }, 8},
      {"pop of a name that is not on top", [] {
         nml_error_push_name("a");
         nml_error_pop_name("b");
       }, 8},
      {"bad type handed to e1mes", [] { nml_e1mes(9, 1, "x"); }, 8},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.what);
    nmltest::FreshRuntime();
    nml_error_set_stop_fatal(1);
    StdErrCapture err;
    ExitTrap trap;
    int status = -1;
    try {
      c.call();
    } catch (const ExitCalled& e) {
      status = e.status;
    }
    EXPECT_EQ(status, c.status);
  }
}

TEST_F(NmlRuntime, NoExitWhenStopFlagsAreOff) {
  StdErrCapture err;
  ExitTrap trap;
  EXPECT_NO_THROW({
    nml_dmach(9);
    nml_error_push_name("r");
    nml_error_post(NML_FATAL, 1);
    nml_error_pop_name("r");
  });
  EXPECT_EQ(nml_error_type(1), NML_FATAL);
  int print = 0, stop = 0;
  nml_e1pos(-NML_TERMINAL, &print, &stop);
  EXPECT_EQ(print, 1);
  EXPECT_EQ(stop, 0);
}

TEST_F(NmlRuntime, InternalErrorPrintsTraceback) {
  StdErrCapture err;
  ExitTrap trap;
  nml_error_push_name("outer");
  nml_error_push_name("inner");
  int status = -1;
  try {
    nml_error_code(3);
  } catch (const ExitCalled& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 8);
  const std::string pad(44, ' ');
  EXPECT_EQ(err.text(), Block("INTERNAL", "outer", 122, false) +
                            "Here is a traceback of the calls in reverse order.\n"
                            "  Error Type        Error Code              Routine\n"
                            "  ----------        ----------              -------\n"
                            "  NML_INTERNAL    122                       outer\n" +
                            pad + "USER\n");
}

TEST_F(NmlRuntime, FullTracebackShowsEveryEntry) {
  nml_error_options(NML_FULL_TRACEBACK, 1, 0);
  nml_error_push_name("outer");
  nml_error_push_name("inner");
  nml_error_post(NML_ALERT, 7);
  StdErrCapture err;
  nml_error_traceback();
  nml_error_pop_name("inner");
  nml_error_pop_name("outer");
  const std::string pad(44, ' ');
  EXPECT_NE(err.text().find(" NML_ALERT       7                         inner\n" + pad +
                            "outer\n" + pad + "USER\n"),
            std::string::npos)
      << err.text();
}

TEST_F(NmlRuntime, Nesting200NamesIsAnInternalError) {
  nml_error_set_stop_fatal(1);
  StdErrCapture err;
  ExitTrap trap;
  std::vector<std::string> names;
  for (int i = 0; i < 199; ++i) names.push_back(std::string("r").append(std::to_string(i)));
  for (const auto& n : names) nml_error_push_name(n.c_str());
  EXPECT_EQ(nml::Runtime::Math().Depth(), 199);
  int status = -1;
  try {
    nml_error_push_name("one too many");
  } catch (const ExitCalled& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 8);
  EXPECT_NE(err.text().find("Error code 60000."), std::string::npos);
}

TEST_F(NmlRuntime, RoutineCalledFromAUserCallbackReportsIntoTheCallback) {
  nml_error_set_stop_fatal(1);
  StdErrCapture err;
  ExitTrap trap;
  nml_error_push_name("fit");
  nml_error_user_code("ON");
  int status = -1;
  try {
    nml_dmach(0);  // returns into the callback: user level for this call
  } catch (const ExitCalled& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 5);
  EXPECT_EQ(err.text(), Block("TERMINAL", "nml_dmach", 12009, false));
}

TEST_F(NmlRuntime, TrappedSignalEndsInTerminal102AndAnOrderlyReturn) {
  StdErrCapture err;
  nml_public("probe", [] {
    nml_error_push_name("deeper");
    nml_signal_handler(11);
    nml_error_pop_name("deeper");
  });
  EXPECT_EQ(nml_error_type(1), NML_TERMINAL);
  EXPECT_EQ(nml_error_code(1), 102);
  EXPECT_EQ(nml::Runtime::Math().Depth(), 0);
  EXPECT_NE(err.text().find("Error code 511."), std::string::npos);
  // Switched off, the wrapper runs the body directly.
  nml_error_options(NML_SIGNAL_TRAPPING, 0, 0);
  EXPECT_EQ(nml_signal_trap_enabled(), 0);
}

#if NML_SIGNAL_TRAP_INSTALLS
// A fault inside a public routine's body comes back as its TERMINAL error and TERMINAL 102
// from the routine the user called; the skipped names are unwound, the handlers that were
// there before are back, and the next call works.
TEST_F(NmlRuntime, SegmentationFaultInABodyReturnsWithBothErrors) {
  struct sigaction before {};
  sigaction(SIGSEGV, nullptr, &before);
  for (int sig : {SIGSEGV, SIGILL}) {
    SCOPED_TRACE(sig);
    StdErrCapture err;
    bool after = false;
    nml_public("probe", [&] {
      nml_error_push_name("deeper");
      nml_public("inner", [sig] { std::raise(sig); });
      // The inner routine caught it; this body goes on and faults for real.
      volatile int* volatile nowhere = nullptr;
      if (sig == SIGSEGV) *nowhere = 1;
      std::raise(sig);
      after = true;
    });
    EXPECT_FALSE(after);
    EXPECT_EQ(nml_error_type(1), NML_TERMINAL);
    EXPECT_EQ(nml_error_code(1), 102);
    EXPECT_EQ(nml::Runtime::Math().Depth(), 0);
    const std::string own = sig == SIGSEGV ? "Error code 511." : "Error code 504.";
    const std::string& text = err.text();
    const std::size_t first = text.find(own);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_NE(text.find("Error code 102.", first), std::string::npos) << text;
    EXPECT_NE(text.find("from probe."), std::string::npos) << text;

    err.clear();
    EXPECT_NEAR(nml_d_erf(0.5), 0.5204998778130465, 1e-15);
    EXPECT_EQ(nml_error_type(1), 0);
    EXPECT_EQ(err.text(), "");
  }
  // Switching the trap off puts back the handlers it replaced.
  nml_error_options(NML_SIGNAL_TRAPPING, 0, 0);
  struct sigaction now {};
  sigaction(SIGSEGV, nullptr, &now);
  EXPECT_EQ(now.sa_handler, before.sa_handler);
}

namespace {
volatile std::sig_atomic_t g_callerSaw = 0;
extern "C" void CallerHandler(int sig) { g_callerSaw = sig; }
}  // namespace

// The caller's own handler, installed before any library call, still receives a fault raised
// between library calls, while one inside a call ends in TERMINAL 102 without reaching it.
TEST_F(NmlRuntime, CallersHandlerSeesFaultsOutsideLibraryCalls) {
  struct sigaction mine {}, before {};
  mine.sa_handler = CallerHandler;
  sigemptyset(&mine.sa_mask);
  nml_error_options(NML_SIGNAL_TRAPPING, 0, 0);  // no handlers of the trap installed
  sigaction(SIGILL, &mine, &before);
  nml_error_options(NML_SIGNAL_TRAPPING, 1, 0);
  StdErrCapture err;
  EXPECT_NEAR(nml_d_erf(0.5), 0.5204998778130465, 1e-15);
  g_callerSaw = 0;
  std::raise(SIGILL);
  EXPECT_EQ(g_callerSaw, SIGILL);

  g_callerSaw = 0;
  nml_public("probe", [] { std::raise(SIGILL); });
  EXPECT_EQ(nml_error_code(1), 102);
  EXPECT_EQ(g_callerSaw, 0);
  nml::Runtime::Math().Reset();
  std::raise(SIGILL);
  EXPECT_EQ(g_callerSaw, SIGILL);

  nml_error_options(NML_SIGNAL_TRAPPING, 0, 0);
  sigaction(SIGILL, &before, nullptr);
}
#endif

TEST_F(NmlRuntime, MessageArgumentsAndPlaceholders) {
  nml_error_set_int(2, 7);
  nml_error_set_double(1, 2.5);
  nml_error_set_float(3, 0.25f);
  nml_error_set_complex(1, 1.0f, -2.0f);
  nml_error_set_string(-2, "alpha");  // a negative number counts as its absolute value
  nml_error_set_string(10, "never");  // outside 1..9: ignored
  nml_error_set_int(0, 99);
  struct Row {
    const char* text;
    const char* expected;
  };
  const Row rows[] = {
      {"n = %(i2)", "n = 7"},
      {"x = %(R1%8.3f)!", "x =    2.500!"},
      {"%(q1) stays", "%(q1) stays"},
      {"line%/next", "line\nnext"},
      {"%(S2) and %(r3%g)", "alpha and 0.25"},
      {"%(c1%.1f)", "(1.0,-2.0)"},
      {"%(z1)", "(1.000000e+00,-2.000000e+00)"},
      {"100% sure %(", "100% sure %("},
      // Conversions that do not fit the argument's kind fall back to the kind's default.
      {"%(I2%s)", "7"},
      {"%(S2%d)", "alpha"},
      {"%(R1%*d)", "2.500000e+00"},
      {"%(I2%n)", "7"},
      {"%(I2%5d)|", "    7|"},
      {"%(S9)", "(null)"},
  };
  for (const Row& r : rows) {
    nml_error_format_message(r.text);
    EXPECT_EQ(nml::Runtime::Math().MessageBuffer(), r.expected) << r.text;
  }
}

TEST_F(NmlRuntime, LongTextsBreakAtBlanksWithinTheLineWidth) {
  StdErrCapture err;
  std::string text;
  for (int i = 0; i < 40; ++i) text += "word" + std::to_string(i) + " ";
  text += "%/after break " + std::string(100, 'x');
  nml_error_push_name("routine");
  nml_e1mes(NML_WARNING, 3, text.c_str());
  nml_error_pop_name("routine");
  std::istringstream lines(err.text());
  std::string line;
  std::vector<std::string> all;
  while (std::getline(lines, line)) all.push_back(line);
  ASSERT_GE(all.size(), 5u);
  EXPECT_EQ(all[0], "");
  EXPECT_EQ(all[1].rfind("*** WARNING  Error 3 from routine.  word0 word1", 0), 0u) << all[1];
  EXPECT_EQ(all.back(), "");
  bool sawBreak = false;
  for (std::size_t i = 1; i + 1 < all.size(); ++i) {
    EXPECT_LT(all[i].size(), 78u) << all[i];
    if (i > 1) {
      EXPECT_EQ(all[i].rfind("***          ", 0), 0u) << all[i];
      if (all[i].size() > 13) {
        EXPECT_NE(all[i][13], ' ') << all[i];
      }
    }
    if (all[i] == "***          after break") sawBreak = true;
  }
  EXPECT_TRUE(sawBreak) << err.text();
  // Every word comes out once, in order.
  std::string joined;
  for (std::size_t i = 1; i + 1 < all.size(); ++i) joined += all[i];
  EXPECT_NE(joined.find("word39"), std::string::npos);
  EXPECT_NE(joined.find(std::string(60, 'x')), std::string::npos);
}

// Writes a message file in either byte order: codes with their texts and names.
void WriteMessageFile(const std::string& path, bool bigEndian, unsigned shift,
                      const std::vector<std::pair<unsigned short, std::pair<std::string, std::string>>>& msgs,
                      unsigned l1 = 200, unsigned l2 = 60) {
  const unsigned n = static_cast<unsigned>(msgs.size());
  const unsigned unit = 1u << shift;
  long base = 4L * n + 15;
  base = (base + unit - 1) / unit * unit;
  std::vector<unsigned short> offsets;
  std::vector<unsigned char> records;
  unsigned pos = 1;  // record positions count from one unit past the base
  for (const auto& m : msgs) {
    offsets.push_back(static_cast<unsigned short>(pos));
    std::string rec = m.second.first + '\0' + m.second.second + '\0';
    while (rec.size() % unit) rec += '\0';
    records.resize((pos << shift) + rec.size(), 0);
    std::memcpy(records.data() + (pos << shift), rec.data(), rec.size());
    pos += static_cast<unsigned>(rec.size() >> shift);
  }
  offsets.push_back(static_cast<unsigned short>(pos - 1));
  records.resize((pos << shift) + unit, 0);  // the last record's final unit
  std::vector<unsigned short> words = {0x72F8, 0, static_cast<unsigned short>(n), 0,
                                       static_cast<unsigned short>(l1),
                                       static_cast<unsigned short>(l2),
                                       static_cast<unsigned short>(shift)};
  for (const auto& m : msgs) words.push_back(m.first);
  for (auto o : offsets) words.push_back(o);
  std::vector<unsigned char> bytes;
  for (auto w : words) {
    if (bigEndian) {
      bytes.push_back(static_cast<unsigned char>(w >> 8));
      bytes.push_back(static_cast<unsigned char>(w & 0xFF));
    } else {
      bytes.push_back(static_cast<unsigned char>(w & 0xFF));
      bytes.push_back(static_cast<unsigned char>(w >> 8));
    }
  }
  // Records start at the base plus their position; with positions counted from one the
  // first record follows the offset table.
  bytes.resize(std::max<std::size_t>(bytes.size(), static_cast<std::size_t>(base) + records.size()), 0);
  for (std::size_t i = static_cast<std::size_t>(1) << shift; i < records.size(); ++i)
    bytes[static_cast<std::size_t>(base) + i] = records[i];
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

class NmlMessageFile : public ::testing::Test {
 protected:
  void TearDown() override { nmltest::FreshRuntime(); }
  std::string Dir(const std::string& name) {
    const std::string dir = std::string(TV_TEST_TMPDIR) + "/" + name;
    std::string cmd = "mkdir -p '" + dir + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return dir;
  }
};

TEST_F(NmlMessageFile, ReadsEitherByteOrderAndFindsCodesModulo100000) {
  for (bool big : {false, true}) {
    for (unsigned shift : {0u, 2u}) {
      SCOPED_TRACE(std::string(big ? "big" : "little") + " shift " + std::to_string(shift));
      const std::string dir = Dir("msg-" + std::to_string(big) + std::to_string(shift));
      WriteMessageFile(dir + "/nmlerr.bin", big, shift,
                       {{120, {"The argument %(S1) = %(R3) is outside [%(R1), %(R2)].", "NML_OUT_OF_RANGE"}},
                        {9042, {"The degrees of freedom df = %(r1) must be at least 1.", "NML_DF_TOO_SMALL"}},
                        {9043, {"p = %(r1%g) must lie in (0, 1).", "NML_P_OUT_OF_RANGE"}}});
      nmltest::FreshRuntime(dir);
      StdErrCapture err;
      EXPECT_STREQ(nml_error_message_text(9043), "p = %(r1%g) must lie in (0, 1).");
      EXPECT_STREQ(nml_error_code_name(9043), "NML_P_OUT_OF_RANGE");
      EXPECT_STREQ(nml_error_message_text(109043), "p = %(r1%g) must lie in (0, 1).");
      EXPECT_STREQ(nml_error_code_name(9042), "NML_DF_TOO_SMALL");
      EXPECT_STREQ(nml_error_message_text(121), "Error code 121.");
      EXPECT_STREQ(nml_error_code_name(121), "121");
      nml_error_push_name("nml_f_t_inverse");
      nml_error_set_double(1, 1.5);
      nml_error_post(NML_WARNING, 9043);
      nml_error_pop_name("nml_f_t_inverse");
      EXPECT_EQ(err.text(),
                "\n*** WARNING  Error NML_P_OUT_OF_RANGE from nml_f_t_inverse.  p = 1.5 must\n"
                "***          lie in (0, 1).\n\n");
    }
  }
}

TEST_F(NmlMessageFile, MissingOrBrokenFilesAreReportedOnce) {
  {
    nmltest::FreshRuntime(Dir("empty"));
    StdErrCapture err;
    nml_error_message_text(9042);
    nml_error_message_text(9043);
    EXPECT_EQ(err.text(), "Error in reading nmlerr.bin\nFile not found.\n");
    err.clear();
    // The layout of a TERMINAL error without texts.
    nml_error_push_name("nml_f_t_inverse");
    nml_error_post(NML_TERMINAL, 9042);
    nml_error_pop_name("nml_f_t_inverse");
    EXPECT_EQ(err.text(), "\n*** TERMINAL Error from nml_f_t_inverse.  Error code 9042.\n\n");
  }
  {
    const std::string dir = Dir("badmagic");
    std::ofstream(dir + "/nmlerr.bin", std::ios::binary) << "not a message file at all";
    nmltest::FreshRuntime(dir);
    StdErrCapture err;
    EXPECT_STREQ(nml_error_message_text(5), "Error code 5.");
    EXPECT_EQ(err.text(), "Error in reading nmlerr.bin\nFile is not in nmlerr.bin format.\n");
  }
  {
    // A record longer than the header's buffer bound is not read.
    const std::string dir = Dir("overlong");
    WriteMessageFile(dir + "/nmlerr.bin", false, 0, {{7, {std::string(300, 'a'), "N7"}}}, 10, 10);
    nmltest::FreshRuntime(dir);
    StdErrCapture err;
    EXPECT_STREQ(nml_error_message_text(7), "Error code 7.");
    EXPECT_STREQ(nml_error_code_name(7), "7");
  }
}

TEST_F(NmlMessageFile, ProgramFolderComesBeforeTheLibraryFoldersAndTheCurrentFolder) {
  const std::string lib = Dir("libdir");
  WriteMessageFile(lib + "/nmlerr.bin", false, 0, {{9042, {"from LIB", "ONE"}}});
  // The tests run in TV_TEST_TMPDIR: a file there is the current folder's.
  WriteMessageFile(std::string(TV_TEST_TMPDIR) + "/nmlerr.bin", false, 0, {{9042, {"from cwd", "ONE"}}});
  nml::Runtime::Math().Reset();
  nml_error_set_stop_fatal(0);
  plat::SetEnvLookup([lib](const std::string& name) -> std::optional<std::string> {
    if (name == "LIB") return lib;
    return std::nullopt;
  });
  // The build puts the library's own file beside every program that uses it.
  EXPECT_STREQ(nml_error_message_text(9042), "The degrees of freedom, %(r1), must be at least 1.");
  std::remove((std::string(TV_TEST_TMPDIR) + "/nmlerr.bin").c_str());
}

TEST_F(NmlRuntime, ErrorOptionsVariadicAndTyped) {
  int print = -1, stop = -1, trace = -1, kind = 0;
  nml_error_options(NML_SET_PRINT, NML_ALERT, 1, NML_GET_PRINT, NML_ALERT, &print,
                    NML_GET_STOP, NML_FATAL, &stop, NML_GET_TRACEBACK, NML_WARNING, &trace,
                    NML_GET_PRINTER_KIND, &kind, 0);
  EXPECT_EQ(print, 1);
  EXPECT_EQ(stop, 0);  // switched off for the tests
  EXPECT_EQ(trace, 0);
  EXPECT_EQ(kind, NML_PRINTER_STREAM);

  nml_error_options(nml_opts(NML_SET_STOP, NML_WARNING, 1, NML_GET_STOP, NML_WARNING, &stop));
  EXPECT_EQ(stop, 1);
  EXPECT_EQ(nml_error_type(1), 0);

  FILE* stream = nullptr;
  nml_error_options(nml_opts(NML_GET_ERROR_FILE, &stream));
  EXPECT_EQ(stream, stderr);

  // An unknown code ends the walk: the codes after it are not applied.
  StdErrCapture err;
  print = -1;
  nml_error_options(NML_SET_PRINT, NML_NOTE, 1, 777, NML_GET_PRINT, NML_NOTE, &print, 0);
  EXPECT_EQ(nml_error_code(1), 103);
  EXPECT_EQ(print, -1);
  nml_error_options(nml_opts(NML_SET_PRINT, NML_NOTE, 0, 778));
  EXPECT_EQ(nml_error_code(1), 103);

  // A typed value of the wrong kind is reported instead of being misread.
  float f = 0;
  nml_error_options(nml_opts(NML_GET_PRINT, NML_NOTE, &f));
  EXPECT_EQ(nml_error_code(1), 103);
  nml_error_options(nml_opts(NML_SET_PRINT, NML_NOTE, "one"));
  EXPECT_EQ(nml_error_code(1), 103);
}

TEST_F(NmlRuntime, UnknownOptionReportsCodeAndPosition) {
  StdErrCapture err;
  nml_error_options(NML_SET_PRINT, NML_NOTE, 1, 777, 0);
  nml_error_format_message("%(i1) at %(i2)");
  EXPECT_EQ(nml::Runtime::Math().MessageBuffer(), "777 at 4");
}

TEST_F(NmlRuntime, E1posSetsOnlyPositiveValuesForOneType) {
  int print = 0, stop = 0;
  nml_e1pos(NML_NOTE, &print, &stop);  // zeros change nothing
  int p = 2, s = 1;
  nml_e1pos(NML_NOTE, &p, &s);
  nml_e1pos(-NML_NOTE, &print, &stop);
  EXPECT_EQ(print, 2);
  EXPECT_EQ(stop, 1);
  p = 0;
  s = -1;  // type 0: every type 1..7, values >= 0 only
  nml_e1pos(0, &p, &s);
  nml_e1pos(-NML_NOTE, &print, &stop);
  EXPECT_EQ(print, 0);
  EXPECT_EQ(stop, 1);
  nml_e1pos(-NML_FATAL_IMMEDIATE, &print, &stop);
  EXPECT_EQ(print, 0);
  nml_e1pos(-NML_INTERNAL, &print, &stop);
  EXPECT_EQ(print, 1);  // type 8 is outside the sweep
}

TEST_F(NmlRuntime, InstalledPrinterAndHookSeeErrors) {
  static std::vector<std::string> seen;
  seen.clear();
  nml_printer printer = [](int type, int code, const char* name, const char* text) {
    seen.push_back(std::to_string(type) + "/" + std::to_string(code) + "/" + name + "/" + text);
  };
  nml_error_hook hook = [](int type, int code, const char*) {
    seen.push_back("hook " + std::to_string(type) + "/" + std::to_string(code));
  };
  nml_error_options(nml_opts(NML_ERROR_PRINT_PROC, printer));
  nml_error_set_hook(hook);
  nml_dmach(0);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], "hook 5/12009");  // at posting (TERMINAL is immediate)
  EXPECT_EQ(seen[1], "5/12009/nml_dmach/Error code 12009.");
  EXPECT_EQ(seen[2], "hook 5/12009");  // on return, with the text already printed
  nml_error_set_hook(nullptr);
  nml_error_options(nml_opts(NML_ERROR_PRINT_PROC, nullptr));
  StdErrCapture err;
  nml_dmach(0);
  EXPECT_EQ(err.text(), Block("TERMINAL", "nml_dmach", 12009, false));
}

TEST_F(NmlRuntime, ErrorStreamCanBeReplaced) {
  const std::string path = std::string(TV_TEST_TMPDIR) + "/errstream.txt";
  FILE* f = std::fopen(path.c_str(), "w+");
  ASSERT_NE(f, nullptr);
  nml_error_options(NML_SET_ERROR_FILE, f, 0);
  FILE* unit3 = nullptr;
  nml_unit(3, &unit3);
  EXPECT_EQ(unit3, f);
  nml_dmach(0);
  std::rewind(f);
  char buf[256] = {};
  const std::size_t got = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  FILE* err = stderr;
  nml_unit(-3, &err);
  EXPECT_EQ(std::string(buf, got), Block("TERMINAL", "nml_dmach", 12009, false));
}

TEST(NmlMachine, ConstantsAndSmallUtilities) {
  EXPECT_EQ(nml_dmach(1), 2.2250738585072014e-308);
  EXPECT_EQ(nml_dmach(2), 1.7976931348623157e+308);
  EXPECT_EQ(nml_dmach(3), std::ldexp(1.0, -53));
  EXPECT_EQ(nml_dmach(4), std::ldexp(1.0, -52));
  EXPECT_EQ(nml_dmach(5), 0.30102998001990605);
  EXPECT_TRUE(std::isnan(nml_dmach(6)));
  EXPECT_EQ(nml_dmach(8), -INFINITY);
  EXPECT_EQ(nml_amach(3), std::ldexp(1.0f, -24));
  EXPECT_EQ(nml_amach(1), 1.1754943508222875e-38f);
  const int imach[13] = {8, 2, 15, 32767, 31, 2147483647, 2, 24, -125, 128, 53, -1021, 1024};
  for (int i = 0; i <= 12; ++i) EXPECT_EQ(nml_i_machine(i), imach[i]) << i;

  // Ties go to the second argument of max; a NaN second argument of min loses.
  EXPECT_EQ(std::signbit(nml_d_max(0.0, -0.0)), true);
  EXPECT_EQ(nml_f_min(2.0f, NAN), 2.0f);
  EXPECT_EQ(nml_f_vmax(0), 0.0f);
  EXPECT_EQ(nml_f_vmax(3, 1.0f, 3.0f, 2.0f), 3.0f);
  EXPECT_EQ(nml_d_vmin(3, 1.0, -3.0, 2.0), -3.0);
  EXPECT_TRUE(nml_d_isnan(NAN));

  float y[3] = {};
  const float x[3] = {1, 2, 3};
  nml_f_scaled_copy(3, 2.0f, x, 1, y, 1);
  EXPECT_EQ(y[2], 6.0f);
  nml_f_scaled_copy(3, 1.0f, x, -1, y, 1);  // a negative increment walks from the far end
  EXPECT_EQ(y[0], 3.0f);
  EXPECT_EQ(y[2], 1.0f);
}

TEST(NmlMachine, KeysAndRunOnce) {
  int key = 0;
  EXPECT_EQ(nml_key_create(&key, nullptr), 0);
  EXPECT_GE(key, 1);
  EXPECT_EQ(nml_key_get(key), nullptr);
  int value = 5;
  EXPECT_EQ(nml_key_set(key, &value), 0);
  EXPECT_EQ(nml_key_get(key), &value);
  EXPECT_EQ(nml_key_set(key + 1000, &value), 22);  // never created
  // Keys beyond the first 64 slots grow the table and keep the earlier values.
  int last = 0;
  while (last < 130) nml_key_create(&last, nullptr);
  EXPECT_EQ(nml_key_set(last, &value), 0);
  EXPECT_EQ(nml_key_get(last), &value);
  EXPECT_EQ(nml_key_get(key), &value);
  EXPECT_EQ(nml_key_get(100000), nullptr);

  static int runs = 0;
  int flag = 0;
  nml_once(&flag, [] { ++runs; });
  nml_once(&flag, [] { ++runs; });
  EXPECT_EQ(runs, 1);
}

}  // namespace

#include "platform/testing/ScriptedUi.h"

namespace {

TEST_F(NmlRuntime, MessageBoxAndConsolePrinters) {
  {
    plat::testing::ScriptedUi ui;
    nml_error_options(NML_SET_PRINTER_KIND, NML_PRINTER_BOX, 0);
    nml_error_push_name("nml_routine");
    nml_error_post(NML_WARNING, 17);
    nml_error_pop_name("nml_routine");
    nml_dmach(0);
    ASSERT_EQ(ui.Shown().size(), 2u);
    EXPECT_EQ(ui.Shown()[0].text, "WARNING Error 17 from nml_routine.  Error code 17.");
    EXPECT_EQ(ui.Shown()[0].type, MB_SETFOREGROUND | MB_ICONINFORMATION);
    EXPECT_EQ(ui.Shown()[1].text, "TERMINAL Error from nml_dmach.  Error code 12009.");
    // The stop flag of TERMINAL is off here, so the box carries the information icon.
    EXPECT_EQ(ui.Shown()[1].type, MB_SETFOREGROUND | MB_ICONINFORMATION);
    // With the stop flag on (the library's default), the hand icon.
    nml_error_push_name("r");
    nml_error_set_stop_fatal(1);
    nml_error_post(NML_TERMINAL, 3);  // shown where it is posted
    nml_error_set_stop_fatal(0);      // so that the return does not end the test
    nml_error_pop_name("r");
    ASSERT_EQ(ui.Shown().size(), 3u);
    EXPECT_EQ(ui.Shown()[2].type, MB_SETFOREGROUND | MB_ICONHAND);
  }
  nml_error_options(NML_SET_PRINTER_KIND, NML_PRINTER_CONSOLE, 0);
  StdErrCapture err;
  nml_dmach(0);
  EXPECT_EQ(err.text(), "\r\n*** TERMINAL Error from nml_dmach.  Error code 12009.\r\n\r\n");
  int kind = 0;
  nml_error_options(NML_SET_PRINTER_KIND, 1234, NML_GET_PRINTER_KIND, &kind, 0);
  EXPECT_EQ(kind, NML_PRINTER_STREAM);
}

}  // namespace
