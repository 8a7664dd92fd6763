// "VRML": an HTML page embedding a VRML 2.0 world of the specimen, the current event's
// hypocentre and the sensors with the current event's arrivals, shown with the shell.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/Shell.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "views/hypo/LocView.h"

namespace {

class TextOut {
 public:
  explicit TextOut(const std::string& path) : f_(std::fopen(path.c_str(), "w")) {}
  ~TextOut() {
    if (f_) std::fclose(f_);
  }
  TextOut(const TextOut&) = delete;
  TextOut& operator=(const TextOut&) = delete;
  explicit operator bool() const { return f_ != nullptr; }
  void operator()(const std::string& text) { std::fputs(text.c_str(), f_); }

 private:
  std::FILE* f_;
};

}  // namespace

// The world's text for the engine's current record and the waveform's picks.
std::string LocView_VrmlWorld(const CAEHypo& h, const CAEWave* wave) {
  std::string w;
  auto put = [&w](const std::string& s) { w += s; };
  put("#VRML V2.0 Tremvia\n");
  put("Background {\n");
  put("  groundColor 0.5 0.5 0.5\n");
  put("  skyColor    0.6 0.6 0.8\n");
  put("}\n\n");
  put("DEF VP Viewpoint {\n");
  put("  position 0 0 150\n");
  put("}\n\n");
  // The specimen, drawn as a cylinder of its diameter whatever its shape.
  put("Shape {\n");
  put("  appearance Appearance {\n");
  put("    material Material {\n");
  put("      transparency 0.4\n");
  put("      diffuseColor  0.2 0.2 1\n");
  put("      specularColor 1 1 1\n");
  put("      shininess     1\n");
  put("    }\n");
  put("  }\n");
  put(plat::Format("  geometry Cylinder { radius %4.0f height %4.0f}\n",
                   static_cast<double>(h.m_fDiameter / 2), static_cast<double>(h.m_fSizeZ)));
  put("}\n\n");
  put("Shape {\n");
  put("  appearance Appearance {\n");
  put("    material Material {\n");
  put("      diffuseColor  0 0 0\n");
  put("      shininess     1\n");
  put("    }\n");
  put("  }\n");
  put("  geometry Box { size   60 1 1}\n");
  put("}\n\n");
  put("Transform {\n");
  put("  translation 30 0 0\n");
  put("  children [\n");
  put("    Shape {\n");
  put("      appearance Appearance {\n");
  put("        material Material {}\n");
  put("      }\n");
  put("      geometry Text { \n");
  put("        string \"X\" \n");
  put("        fontStyle FontStyle { size 5}\n");
  put("      }\n");
  put("    }\n");
  put("  ]\n");
  put("}\n\n");
  // The world's y axis is up: a specimen point (x, y, z) is (x, z, -y).
  const AEHRecord& rec = h.m_Rec;
  put("Transform {\n");
  put(plat::Format("  translation %5.2f %5.2f %5.2f\n", static_cast<double>(rec.fX),
                   static_cast<double>(rec.fZ), static_cast<double>(-rec.fY)));
  put("  children [\n");
  put("    Shape {\n");
  put("      appearance Appearance {\n");
  put("        material Material {\n");
  put("          diffuseColor  1 1 0\n");
  put("        }\n");
  put("      }\n");
  put("      geometry Box { size 2 4 2}\n");
  put("    }\n");
  put("  ]\n");
  put("}\n\n");
  const int n = std::clamp(h.m_nSensors, 0, AEH_MAX_SENSORS);
  const int channels = wave ? wave->GetNumChannels() : 0;
  for (int i = 0; i < n; ++i) {
    const int k = rec.nSensor[i];
    // A sensor index outside the table is drawn at the origin rather than read from
    // beyond it.
    const bool known = k >= 0 && k < static_cast<int>(h.m_pSensorXYZ.size());
    const double xs = known ? h.m_pSensorXYZ[k].x : 0, ys = known ? h.m_pSensorXYZ[k].y : 0,
                 zs = known ? h.m_pSensorXYZ[k].z : 0;
    put("Transform {\n");
    if (std::fabs(zs) < h.m_fSizeZ / 2.0)
      put(plat::Format("  rotation %5.2f 0 %5.2f 1.57\n", -ys, -xs));
    put(plat::Format("  translation %5.2f %5.2f %5.2f\n", xs, zs, -ys));
    put("  children [\n");
    put("    Shape {\n");
    put("      appearance Appearance {\n");
    put("        material Material {\n");
    if (k < rec.nArrivals) {
      // A channel without a pick (or without a waveform) shows as up with S/N 0.
      const bool hasSN =
          wave && k >= 0 && k < channels && k < static_cast<int>(wave->m_pPickSN.size());
      const bool hasPol =
          wave && k >= 0 && k < channels && k < static_cast<int>(wave->m_pPolarity.size());
      const bool down = hasPol && wave->m_pPolarity[k] < 0;
      const double sn = hasSN ? wave->m_pPickSN[k] : 0.0;
      put(down ? "          diffuseColor  0 0 1\n" : "          diffuseColor  1 0 0\n");
      put("        }\n");
      put("      }\n");
      put(plat::Format("      geometry Cylinder { radius %3.1f height 0.5}\n",
                       0.25 * std::min(sn, 10.0)));
    } else {
      put("          diffuseColor  0.5 0.5 0.5\n");
      put("        }\n");
      put("      }\n");
      put("      geometry Cylinder { radius 1 height 0.5}\n");
    }
    put("    }\n");
    put("  ]\n");
    put("}\n\n");
  }
  return w;
}

void CLocView::OnCreateVRML() {
  CTremviaDoc* doc = GetData();
  if (!doc || !doc->m_pHypo) return;
  plat::FileDialogOptions d;
  d.open = false;
  d.defExt = "htm";
  d.filter = "HTML File(*.htm)|*.htm||";
  d.title = "Create VRML file";
  const auto page = plat::Ui().FileDialog(d);
  if (!page) return;
  // The world goes beside the page, which refers to it by its bare name.
  const std::string::size_type cut = page->find_last_of("\\/");
  const std::string folder = cut == std::string::npos ? std::string() : page->substr(0, cut + 1);
  std::string title = page->substr(folder.size());
  if (const auto dot = title.find_last_of('.'); dot != std::string::npos) title.resize(dot);
  const std::string worldName = title + ".wrl";
  {
    TextOut html(*page);
    if (!html) return;
    html("<HTML>\n");
    html("<HEAD>\n");
    html("<TITLE>Create by Tremvia, Arno Tam");
    html("</TITLE>\n");
    html("</HEAD>\n");
    html("<BODY BGCOLOR=ffffff TEXT=000000>\n");
    html("<CENTER>\n");
    html(plat::Format("<H1>%s</H1>\n", doc->m_pHypo->m_strTitle.c_str()));
    html(plat::Format("<EMBED src=%s width=500 height=500>\n", worldName.c_str()));
    html("</EMBED>\n");
    html("</TD>\n");
    html("</TR>\n");
  }
  {
    TextOut world(folder + worldName);
    if (!world) return;
    world(LocView_VrmlWorld(*doc->m_pHypo, doc->m_pWave.get()));
  }
  if (!plat::GetShell().ShellExecute("open", *page, std::string(), plat::SW_SHOWMAXIMIZED))
    plat::Ui().SetPaneText(0, plat::Format("Can not open %s", page->c_str()), false);
}
