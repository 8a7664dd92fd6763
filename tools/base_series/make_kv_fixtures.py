#!/usr/bin/python3
"""One small KV text file per dialect that the program writes, made here with the
dialect's own line formats (so the table and time-series readers are checked against
files they did not write), and a list of what each file must load as.

Run with Debian's Python:
    /usr/bin/python3 tools/base_series/make_kv_fixtures.py
Writes base/series/testdata/kv_<dialect>.kv0 and base/series/testdata/kv_dialects.txt.
The expectation lines are '|'-separated:
    file | columns | rows | first title | first unit | last title | last unit |
    value of the last column in the last row (or -) | time-series channels (0: the
    time-series reader refuses the file) | start time "y m d h mi s" (or -)
"""
import os

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OUT = os.path.join(ROOT, "base", "series", "testdata")

START = (2009, 5, 1, 12, 0, 30)
ST = "START_TIME: %04d/%02d/%02d %02d:%02d:%02d\n" % START


def value(i, c):
    return (i + 1) * 1.25 + c * 0.5 + 0.001 * i


def title_unit(token):
    if "," in token:
        t, u = token.split(",", 1)
        return t.rstrip(), u.lstrip().rstrip()
    return token.rstrip(), ""


def emit(name, lines, titles_line, rows_text, ts_channels, start=None):
    path = os.path.join(OUT, "kv_%s.kv0" % name)
    with open(path, "w", newline="\n") as f:
        f.write("".join(lines))
    sep = "\t" if "\t" in titles_line else " "
    tokens = [t for t in titles_line.rstrip("\n").split(sep) if t]
    ft, fu = title_unit(tokens[0])
    lt, lu = title_unit(tokens[-1])
    last = "-"
    if rows_text:
        last = repr(float(rows_text[-1].split()[len(tokens) - 1]))
    st = "-" if start is None else " ".join(str(x) for x in start)
    return "|".join([os.path.basename(path), str(len(tokens)), str(len(rows_text)), ft, fu, lt, lu, last,
                     str(ts_channels), st])


def main():
    os.makedirs(OUT, exist_ok=True)
    expect = []

    # Data table dialect, as a table with a start time, table lines and an H variable.
    titles = "Time,s\tLoad,kN\tAz,deg\tRate,1/s\n"
    rows = ["".join("%f " % value(i, c) for c in range(4)) + "\n" for i in range(3)]
    lines = ["KVDATA02\n", "File: C:/exp/old.kv0\n", "My table\n", ST, "SAMPLES 3\n", titles,
             "1.0\t1.0\t1.0\t1.0\n", "PLOT_TYPE: 1\t2\t4\t8\n", "PLOT_XY: 1\t2\t0\t2\n"] + rows + [
        'VAR-H: title="Freq", unit="Hz"\n', "%f %f %f \n" % (10, 20, 30)]
    expect.append(emit("table", lines, titles, rows, 0))

    # Time-series writer.
    titles = "Time(sec) Load A.Stress\n"
    rows = ["%10.4lf" % (i * 0.5) + "".join(" %f" % value(i, c) for c in (1, 2)) + "\n" for i in range(3)]
    lines = ["KVDATA02 Stress-Strain data. from C:/exp/run.dat\n", ST, "SAMPLES 3\n", titles, "1.0 1.0 1.0\n"] + rows
    expect.append(emit("ts_writer", lines, titles, rows, 2, START))

    # Stress-strain view export.
    titles = "Time,sec\tA.Stress,MPa\tA.Strain,u\tC.Strain,u\tV.Strain,u\tAEnum,#\n"
    rows = ["%10.3lf %6.1f %6.0f %6.0f %6.0f %6d\n" % (i * 2.0, 10 + i, 100 * i, -50 * i, 20 * i, 7 * i) for i in range(3)]
    lines = ["KVDATA02 Stress-Strain data for C:/exp/run.dat\n",
             "START_TIME: %04d/%02d/%02d %02d:%02d:%2d\n" % (2009, 5, 1, 12, 0, 5), "SAMPLES 3\n", titles,
             "1\t1\t1\t1\t1\t1\n"] + rows
    expect.append(emit("ss_view", lines, titles, rows, 5, (2009, 5, 1, 12, 0, 5)))

    # Detector event list, two runs appended; the second run's head ends the first's rows.
    titles = "AE#\tt0,us\tX,mm\tY,mm\tZ,mm\tMw\tCC\tSNR1\tSNR2\tdX,mm\tdY,mm\tdZ,mm\tdMw\t#_T\tMw_T\n"
    fmt = "%d\t%f\t%.4f\t%.4f\t%.4f\t%.2f\t%.4f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%d\t%.2f\n"
    rows = [fmt % ((i + 1, 1000.5 * i) + tuple(value(i, c) for c in range(11)) + (i + 3, value(i, 14)))
            for i in range(3)]
    head = ["KVDATA02\n", "Detecte event\n", "SAMPLES 777\n", titles, "1\t" * 14 + "1\n",
            "PLOT_TYPE: " + "1\t" * 14 + "1\n", "PLOT_XY: 1\t0\t0\t0\t0\t0\t0\t0\t0\t2\t2\t2\t0\t0\t0\n"]
    lines = head + rows + head + [fmt % ((9, 1.0) + (0.0,) * 11 + (1, 0.0))]
    expect.append(emit("detector", lines, titles, rows, 0))

    # Document peak export.
    titles = "Time(sec)    mag\n"
    rows = ["%013.6f %4.2f\n" % (12.5 * i, 0.25 * (i + 1)) for i in range(3)]
    lines = ["KVDATA01 PEAK data from C:/exp/run.pad\n", ST, "SAMPLES 3\n", titles] + rows
    expect.append(emit("peak", lines, titles, rows, 1, START))

    # Document event-rate export (no start time).
    titles = "Time(sec)\tAEn\tR(mm)\tV(mm)\tM\te\n"
    rows = ["%013.6f %d %6.2f %6.2f %4.2f %9.4f\n" % (10.0 * i, i, value(i, 1), value(i, 2), 0.5, value(i, 4))
            for i in range(3)]
    lines = ["KVDATA01 RV data of C:/exp/run.pad\n", "SAMPLES 3\n", titles] + rows
    expect.append(emit("event_rate", lines, titles, rows, 0))

    # b-value export by magnitude, with the second stress column; SAMPLES rewritten in place.
    titles = "Time(sec)\tA.Stress\tS.Stress,MPa\tbML(cir)\tlog(Tl)\tbLS\tbLSerr\tRate\tV-rate\n"
    rows = ["%013.6f\t%06.2f\t%06.2f\t%04.2f\t%6.3f\t%04.2f\t%04.2f\t%9.2f\t%9.2f\n"
            % ((100.0 * i,) + tuple(value(i, c) for c in range(1, 9))) for i in range(3)]
    lines = ["KVDATA01 run.pad, b:nB=50 TL:Mmax=3.5 V:q=2.0\n", ST, "SAMPLES %05d\n" % 3, titles] + rows
    expect.append(emit("bvalue_mag", lines, titles, rows, 8, START))

    # b-value export with the fractal dimension.
    titles = "Time(sec)\tA.Stress\tbML\tbMLerr\tlog(Tl)\tbLS\tbLSerr\tD(q=2)\tDerr)\tC.Len\tRate\tV-rate\n"
    rows = ["%013.6f\t%06.2f\t%04.2f\t%05.3f\t%6.3f\t%04.2f\t%04.2f\t%04.2f\t%04.2f\t%6.4f\t%9.2f\t%9.2f\n"
            % ((100.0 * i,) + tuple(value(i, c) for c in range(1, 12))) for i in range(3)]
    lines = ["KVDATA01 run.pad, b:nD=50 TL:Mmax=3.5 V:q=2.00\n", ST, "SAMPLES %05d\n" % 3, titles] + rows
    expect.append(emit("bvalue_fractal", lines, titles, rows, 11, START))

    # Document AE-rate export.
    titles = "Time(sec) A.Load C.P.(MPa) A.Disp(um) AE#1 AE#2 Rate(#1) Rate(#2) Rate(Wave) Rate(Loc)\n"
    rows = ["%013.6f %.4f %.4f %.2f %d %d %d %d %d %d\n" % (60.0 * i, value(i, 1), value(i, 2), value(i, 3),
                                                          i, 2 * i, 3 * i, 4 * i, 5 * i, 6 * i) for i in range(3)]
    lines = ["KVDATA01 AE rates of C:/exp/run.pad\n", ST, "SAMPLES 3\n", titles] + rows
    expect.append(emit("ae_rate", lines, titles, rows, 9, START))

    # Document stress-strain export.
    titles = "Time(sec)    A.Stress A.Strain C.Strain V.Strain AEnum\n"
    rows = ["%013.6f %05d %05d %05d %05d %06d\n" % (5.0 * i, 100 + i, 200 + i, 300 + i, 400 + i, 10 * i)
            for i in range(3)]
    lines = ["KVDATA01 SS data of C:/exp/run.pad\n", ST, "SAMPLES 3\n", titles] + rows
    expect.append(emit("stress_strain", lines, titles, rows, 5, START))

    # Document event export; SAMPLES placeholder rewritten in place.
    titles = ("AEno Time(sec) x(mm) y(mm) z(mm) dx(mm) dy(mm) dz(mm) Mw(Amp_med) Mw(<Amp>) Mae(Fc) Fc Up Down N "
              "flag\n")
    rows = [("%d %12.6lf %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %.3f %d %d %d %d\n"
             % ((i + 1, 1.5 * i) + tuple(value(i, c) for c in range(2, 12)) + (i, 4 - i, 8, 0))) for i in range(3)]
    lines = ["KVDATA01 AE data of C:/exp/run.pad\n", ST, "SAMPLES 000000\n".replace("000000", "%06d" % 3),
             titles] + rows
    expect.append(emit("events", lines, titles, rows, 15, START))

    # Location view, spatial correlation integral, with its parameter trailer.
    titles = "Log10(r),mm " + "".join(" Log10(C(R>r)),q=%02d" % q for q in (2, 6, 10, 14, 18, 22)) + "\n"
    rows = ["%f" % (0.1 * i) + "".join(" %f" % -value(i, c) for c in range(6)) + "\n" for i in range(3)]
    lines = ["KVDATA01 run.pad: n=120 C.Len=12.5\n", "SAMPLES %05d\n" % 3, titles] + rows + [
        "[PARAMETERS]\n", "min=0.0 -4.0 -4.0 -4.0 -4.0 -4.0 -4.0\n", "max=2.0  0.0 0.0   0.0  0.0  0.0 -0.0\n"]
    expect.append(emit("corr_space", lines, titles, rows, 0))

    # Location view, temporal correlation integral.
    titles = "Log10(r),msec " + " Log10(C(T>t)),q=%02d" % 2 + "\n"
    rows = ["%f %f\n" % (0.2 * i, -value(i, 1)) for i in range(3)]
    lines = ["KVDATA01 run.pad: n=120\n", "SAMPLES %05d\n" % 3, titles] + rows
    expect.append(emit("corr_time", lines, titles, rows, 0))

    # b-value view export: the header only.
    titles = "Time(sec)    b-Value " + "".join(" m=%4.2f" % (0.25 * k) for k in range(12)) + "\n"
    lines = ["KVDATA01 m-N relation of run.pad\n", "SAMPLES %06d\n" % 0, titles]
    expect.append(emit("bvalue_view", lines, titles, [], 0))

    # Peak view export.
    titles = "Time(msec)    mag\n"
    rows = ["%013.6f %3.1f\n" % (0.5 * i, 0.5 + i) for i in range(3)]
    lines = ["KVDATA01 PEAK data of run.pad %13.6f %13.6f\n" % (0.0, 1.5), "SAMPLES 3\n", titles] + rows
    expect.append(emit("peak_view", lines, titles, rows, 0))

    # Wave view noise export (SAMPLES written as 0).
    titles = "Time(sec)  noise(Sum)\n"
    rows = ["%f %f\n" % (0.001 * i, value(i, 1)) for i in range(3)]
    lines = ["KVDATA01 Noise LEVEL of chn#32 event 000123\n", "SAMPLES 0\n", titles] + rows
    expect.append(emit("noise", lines, titles, rows, 0))

    with open(os.path.join(OUT, "kv_dialects.txt"), "w", newline="\n") as f:
        f.write("# made by tools/base_series/make_kv_fixtures.py\n")
        f.write("# file|columns|rows|first title|first unit|last title|last unit|last value|ts channels|start\n")
        for e in expect:
            f.write(e + "\n")


if __name__ == "__main__":
    main()
