#include "platform/qt/CmdTarget.h"

#include <algorithm>

namespace plat {

void CCmdTarget::MapCommand(UINT id, Handler h) {
  MapCommandRange(id, id, [h = std::move(h)](UINT) { h(); });
}

void CCmdTarget::MapCommandRange(UINT first, UINT last, RangeHandler h) {
  // A later entry wins: it goes to the front of the search order.
  entries_.insert(entries_.begin(), Entry{first, last, std::move(h), {}});
}

void CCmdTarget::MapUpdate(UINT id, UpdateHandler h) { MapUpdateRange(id, id, std::move(h)); }

void CCmdTarget::MapUpdateRange(UINT first, UINT last, UpdateHandler h) {
  entries_.insert(entries_.begin(), Entry{first, last, {}, std::move(h)});
}

const CCmdTarget::Entry* CCmdTarget::Find(UINT id, bool update) const {
  for (const Entry& e : entries_) {
    if (id < e.first || id > e.last) continue;
    if (update ? static_cast<bool>(e.update) : static_cast<bool>(e.run)) return &e;
  }
  return nullptr;
}

bool CCmdTarget::HasHandler(UINT id) const { return Find(id, false) || Find(id, true); }

std::vector<std::pair<UINT, UINT>> CCmdTarget::CommandRanges() const {
  std::vector<std::pair<UINT, UINT>> out;
  for (const Entry& e : entries_)
    if (e.run) out.emplace_back(e.first, e.last);
  return out;
}

bool CCmdTarget::DispatchOwn(UINT id, CCmdUI* ui) {
  if (!ui) {
    const Entry* e = Find(id, false);
    if (!e) return false;
    RangeHandler run = e->run;  // the handler may change the table
    run(id);
    return true;
  }
  if (const Entry* e = Find(id, true)) {
    UpdateHandler update = e->update;
    update(ui);
    return true;
  }
  if (Find(id, false)) {
    ui->Enable(TRUE);
    return true;
  }
  return false;
}

bool CCmdTarget::OnCmdMsg(UINT id, CCmdUI* ui) { return DispatchOwn(id, ui); }

}  // namespace plat
