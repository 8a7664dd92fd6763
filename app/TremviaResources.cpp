#include "app/TremviaResources.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <cstring>
#include <map>

#include "platform/qt/Resources.h"

namespace {

using plat::MenuItem;

MenuItem Item(UINT id, const char* text) { return MenuItem{id, text, {}}; }
MenuItem Sep() { return MenuItem{}; }
MenuItem Popup(const char* text, std::vector<MenuItem> items) {
  return MenuItem{0, text, std::move(items)};
}

plat::MenuResource MainMenu() {
  return {
      Popup("&File", {Item(57600, "&New"),
                      Item(32770, "&GPIB Initialization"),
                      Item(33292, "Open .PAR file"),
                      Sep(),
                      Item(57601, "&Open...\tCtrl+O"),
                      Item(32828, "Load Next"),
                      Item(32840, "Auto-Loading"),
                      Sep(),
                      Item(57603, "&Save\tCtrl+S"),
                      Item(57603, "&Save waveform\tCtrl+S"),
                      Item(34186, "Export waveform data..."),
                      Item(34212, "Expor&t Picture..."),
                      Sep(),
                      Item(57607, "&Print...\tCtrl+P"),
                      Item(57609, "Print Pre&view"),
                      Item(57606, "P&rint Setup..."),
                      Sep(),
                      Item(57616, "Recent File"),
                      Sep(),
                      Item(57665, "E&xit")}),
      Popup("&Edit", {Item(34210, "&Copy as DIB\tCtrl+C"), Item(34211, "&Copy as EMF\tCtrl+C")}),
      Popup("&Trace", {Item(32775, "&Next"), Item(32776, "&Previous")}),
      Popup("&Utilities",
            {Item(34019, "Waveform Check(on/off)"), Item(34026, "Incident angle correction"), Sep(),
             Item(34023, "Marks as  for SI"), Item(34020, "(fX,fY,fZ)<==>(Vx,Vy,Vz)"),
             Item(34024, "Simultaneous Inversion"), Item(34025, "Clear data for SI"), Sep(),
             Item(32804, "Create files for HypoDD"), Sep(), Item(34205, "Working sheet")}),
      Popup("Advance",
            {Item(34174, "m-N relation"), Item(34176, "m-N relation Auto..."), Sep(),
             Item(34177, "Self exiting model..."), Item(34187, "Fractal on Time"), Sep(),
             Item(34100, "Relocation(Vp adapted)"), Item(34228, "Location Error Estimation"),
             Item(39010, "Mechanic Solotion")}),
      Popup("&Option", {Item(34227, "Create filter"), Item(34226, "Band-pass filtering")}),
      Popup("&Waveform",
            {Item(34199, "Remove files masked as noise and Renumber files"),
             Item(34018, "Filter Waveform file, TM reset correction and Create AED"),
             Item(34149, "Create AE data files(.AED)"), Sep(),
             Item(34148, "Scan dominant frequence"), Item(34229, "Scan noise level"), Sep(),
             Item(34224, "Convert OSK to TAM"), Item(34263, "Convert Old to New"), Sep(),
             Item(34768, "Repare disorded records"), Item(34969, "Correct polarization"),
             Item(34165, "Waveform SPECIAL!!!!( source-based utility. don't try)")}),
      Popup("&View", {Item(34156, "Font..."), Sep(), Item(34991, "Zoom &In"),
                      Item(34992, "Zooms &Out"), Sep(), Item(32760, "&Property"), Sep(),
                      Item(59392, "&Toolbar"), Item(59393, "&Status Bar")}),
      Popup("&Help", {Item(34184, "&Home Page"), Item(57664, "&About Tremvia...")}),
  };
}

// Items that no command of the program answers: they show, disabled.
constexpr UINT kNoCommand = 0;

// The pages' context menus: each page tracks one popup of it by position.
plat::MenuResource PageMenu() {
  return {
      Popup("TRACE",
            {Item(32992, "Pickup"),
             Popup("Finds change point",
                   {Item(32996, "AR order to 2"), Item(33090, "AR order to 5"),
                    Item(33100, "AR order to 10"), Item(33260, "AR order to 20")}),
             Item(32832, "Zoom in"), Item(32834, "Add to templates"), Item(34156, "Font...")}),
      Popup("LOCVIEW", {Item(34230, "File for saving C(r)-r or C(t)-t data"), Item(34189, "VRML"),
                        Item(32850, "Model Analyse"), Item(34156, "Font..."),
                        Item(34191, "Match LOC-PEAK(in Size)"), Item(34153, "Load..."),
                        Item(34162, "Load from file ..."), Item(34152, "Save as..."),
                        Item(34667, "Randomization of XYZ"), Item(34154, "Play back: X 100"),
                        Item(34155, "Play back: X 200"), Item(34158, "Stops Play back"),
                        Item(34159, "Load Sound Files"), Item(34169, "Load Bitmap(Sect)"),
                        Item(34105, "Load Bitmap(Surfase)"), Item(34210, "Copy as DIB\tCtrl+C"),
                        Item(34211, "Copy as EMF\tCtrl+C"), Item(34212, "Export Picture..."),
                        Item(57607, "Print...\tCtrl+P")}),
      Popup("WAVEVIEW",
            {Item(32992, "Pickup P"), Item(33404, "Location"),
             Item(34010, "Save location data (to AEH)"), Item(34222, "Lock/unlock focal data"),
             Item(34223, "Mark as noise"), Item(32828, "Load next event"),
             Item(32860, "Load previous event"), Item(34015, "Fast Playback(for auto PL)"),
             Item(34016, "Normal Playback(1sec)"), Item(34017, "Slow Playback(1sec)"),
             Item(35798, "Rename following N files as a shooting run"), Item(34170, "Normalize"),
             Popup("Clipping", {Item(34171, "No clipping"), Item(34172, "Clipping at 5mm"),
                                Item(34173, "Clipping at 10mm")}),
             Item(34012, "Sorting with ART"), Item(34156, "Font..."),
             Item(kNoCommand, "Pickup and location (|->) "), Item(kNoCommand, "Make Semblance")}),
      Popup("TSVIEW",
            {Item(34141, "Property..."),
             Item(32775, "Next"),
             Item(32776, "Previous"),
             Item(34178, "Load 1000AEs"),
             Item(34140, "Load Peak file"),
             Item(34190, "Save PEAK data (showed)"),
             Item(32786, "Corrects time of PEAK"),
             Item(32788, "Remove PK of m0"),
             Item(34147, "Mark sellected PEAKs as noise"),
             Item(34982, "Remove plotted PEAK"),
             Item(34364, "Remove unOrdered PEAK (Head)"),
             Item(32782, "Remove unOrdered PEAK (Tail)"),
             Item(34980, "Correct unOrdered PEAK"),
             Item(34193, "Load Waveform"),
             Item(32779, "Load SS data"),
             Item(32783, "Add TS data (up to 4 iterms)"),
             Item(32802, "Clear additional TS data"),
             Item(32780, "Save as Kurvo..."),
             Item(32781, "Save AVG as Kurvo..."),
             Popup("Save AE rates", {Item(32774, "Save AE rates( P, W, L) at 1/1s..."),
                                     Item(32777, "Save AE rates( P, W, L) at 1/0.1s..."),
                                     Item(32778, "Save AE rates( P, W, L) at 1/0.01s...")}),
             Item(32818, "Save AE rate and Loc (Auto)"),
             Item(32785, "Save AE as EQT"),
             Item(34465, "Save b, release rates to Kurvo file"),
             Item(34566, "Save D, SCL, release rates to Kurvo file"),
             Popup("Buffer Size", {Item(34143, "5000 Events"), Item(34144, "10000 Events"),
                                   Item(34145, "20000 Events")}),
             Item(34210, "Copy as DIB"),
             Item(34211, "Copy as EMF"),
             Item(34212, "Export Picture..."),
             Item(34156, "Font..."),
             Item(57607, "Print..."),
             Item(57609, "Print Preview")}),
      Sep(),  // a position no page shows
      Popup("SOURCEVW",
            {Item(33402, "Next event"), Item(33423, "Next Shear event"),
             Item(33504, "Previous Shear event"), Item(33610, "Shear crack ..."),
             Item(32841, "Tensile source"), Item(32843, "Closure source"),
             Item(32844, "Waveform (On/Off)"), Item(34210, "Copy as DIB"),
             Item(34211, "Copy as EMF"), Item(34212, "Export Picture..."), Item(57607, "Print..."),
             Item(34156, "Font..."), Item(34141, "Property...")}),
  };
}

// The context menus of the graph and 3-D pages.
plat::MenuResource GraphMenu() {
  return {
      Popup("Graph",
            {Item(32377, "Draw YY-X plot"), Item(32346, "Draw V in Polar Coordinates"),
             Item(32814, "Draw V-ang"), Item(32813, "Property"), Item(34210, "Copy graph as DIB"),
             Item(34211, "Copy graph as EMF"), Item(34212, "Export Picture...")}),
      Sep(),  // a position no page shows
      Popup("3D", {Item(32816, "Save 3D snapshot to BMP file"), Item(32817, "Rotation 2 AVI"),
                   Item(kNoCommand, "Hints?"), Item(kNoCommand, "Load")}),
  };
}

constexpr UINT S = 0;  // separator
const plat::ToolBarResource kToolBar = {
    57600, 57601, 57603, S,     32860, 32870, S,     34217, S,     32992, 33404, 34010, S,
    34222, 34223, 34231, S,     32828, 34244, 34246, S,     34242, 34240, S,     34019, 34226,
    34012, S,     32840, 32810, 33434, 34009, S,     5006,  S,     34178, 32775, 32776, 34991,
    34992, 34218, S,     34183, 34198, 34205, S,     57607, S,     34184, 57664};

// Status prompts (and tooltips) of the commands the resources name; every toolbar button
// has one.
const std::map<UINT, const char*> kPrompts = {
    {57600, "&New"},
    {57601, "&Open..."},
    {57603, "&Save"},
    {32860, "Load waveforms of previous event"},
    {32992, "Pickup P"},
    {33404, "Location"},
    {34010, "Save location data (to AEH)"},
    {34222, "On/Off Lock flag"},
    {34223, "On/Off noise mark"},
    {34231, "Mask current event as EM event"},
    {32828, "Load next event"},
    {34244, "Find next masked event"},
    {34246, "Find next waveforms for velocity measurement"},
    {34019, "Waveform Check(on/off)"},
    {34226, "Band-pass filtering"},
    {34012, "Sorting with ART"},
    {32840, "Auto-Loading"},
    {34178, "Load 1000AEs"},
    {32775, "&Next"},
    {32776, "&Previous"},
    {34991, "Zoom &In"},
    {34992, "Zooms &Out"},
    {34205, "Show working sheets"},
    // Buttons without a menu item: what they do.
    {32870, "Open an event by its number"},
    {34217, "Not in use"},
    {34242, "Set up the special-event search"},
    {34240, "Find next special event"},
    {33434, "Locate each event while auto-loading (on/off)"},
    {32810, "Re-save each event's record while auto-loading (on/off)"},
    {34009, "Store located results to AEH (on/off)"},
    {5006, "Spin the 3-D view (on/off)"},
    {34218, "Set the time window to the selection"},
    {34183, "Turn the view by dragging (on/off)"},
    {34198, "Spare toggle (on/off)"},
    {57607, "&Print..."},
    {34184, "&Home Page"},
    {57664, "&About Tremvia..."},
};

// A small button picture: the command's short label on a light face.
QIcon LabelIcon(const char* label) {
  QPixmap pm(24, 24);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(80, 80, 80));
  p.setBrush(QColor(235, 240, 250));
  p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 3, 3);
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(std::strlen(label) > 2 ? 8 : 10);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(20, 40, 110));
  p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, QString::fromLatin1(label));
  return QIcon(pm);
}

const std::map<UINT, const char*> kButtonLabels = {
    {57600, "New"}, {57601, "Opn"}, {57603, "Sav"}, {32860, "<"},   {32870, "#"},   {34217, "?"},
    {32992, "P"},   {33404, "Loc"}, {34010, "AEH"}, {34222, "Lck"}, {34223, "Nz"},  {34231, "EM"},
    {32828, ">"},   {34244, ">M"},  {34246, ">V"},  {34242, "F?"},  {34240, "F>"},  {34019, "Chk"},
    {34226, "BP"},  {34012, "ART"}, {32840, "Aut"}, {32810, "Rsv"}, {33434, "AL"},  {34009, "St"},
    {5006, "3D"},   {34178, "1k"},  {32775, "Nx"},  {32776, "Pv"},  {34991, "+"},   {34992, "-"},
    {34218, "Sel"}, {34183, "Rot"}, {34198, "Sp"},  {34205, "WS"},  {57607, "Prn"}, {34184, "Hm"},
    {57664, "i"}};

}  // namespace

void RegisterTremviaResources() {
  plat::Resources& r = plat::Resources::Get();
  r.SetMenu(IDR_MAINFRAME, MainMenu());
  r.SetMenu(IDR_PAGE_MENU, PageMenu());
  r.SetMenu(IDR_GRAPH_MENU, GraphMenu());
  r.SetToolBar(IDR_TOOLBAR, kToolBar);
  r.SetAccelerators(IDR_MAINFRAME, {{"Ctrl+N", 57600},
                                    {"Ctrl+O", 57601},
                                    {"Ctrl+S", 57603},
                                    {"Ctrl+P", 57607},
                                    {"Ctrl+Z", 57643},
                                    {"Alt+Backspace", 57643},
                                    {"Ctrl+X", 57635},
                                    {"Shift+Del", 57635},
                                    {"Ctrl+C", 57634},
                                    {"Ctrl+Ins", 57634},
                                    {"Ctrl+V", 57637},
                                    {"Shift+Ins", 57637},
                                    {"F6", 57680},
                                    {"Shift+F6", 57681}});
  r.SetString(IDR_MAINFRAME, "Tremvia\n\nTremvia\n\n\nTremvia.Document\nTremvia Document");
  r.SetString(AFX_IDS_APP_TITLE, "Tremvia");
  r.SetString(AFX_IDS_IDLEMESSAGE, "Ready");
  r.SetString(IDS_OLE_INIT_FAILED,
              "OLE initialization failed.  Make sure that the OLE libraries are the correct "
              "version.");
  r.SetString(IDS_HIDE, "&Hide");
  for (const auto& [id, text] : kPrompts) {
    std::string prompt = text;
    std::erase(prompt, '&');
    std::string tip = prompt;
    if (tip.size() > 3 && tip.compare(tip.size() - 3, 3, "...") == 0) tip.resize(tip.size() - 3);
    r.SetString(id, prompt + "\n" + tip);
  }
  for (const auto& [id, label] : kButtonLabels) r.SetIcon(id, LabelIcon(label));
  // The pages' cursors over their hot zones.
  const std::pair<UINT, Qt::CursorShape> cursors[] = {
      {137, Qt::CrossCursor},        {139, Qt::SizeVerCursor}, {141, Qt::SizeHorCursor},
      {142, Qt::PointingHandCursor}, {143, Qt::SizeAllCursor}, {144, Qt::UpArrowCursor},
      {145, Qt::SplitVCursor}};
  for (const auto& [id, shape] : cursors) r.SetCursor(id, QCursor(shape));
}
