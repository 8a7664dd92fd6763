// Run-time classes (creating views, frames and documents by class), command targets
// with their command tables, and the update record that enables and checks menu items
// and toolbar buttons.
#pragma once
#include <functional>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {

class CObject;

// What dynamic creation needs of a class: its name, a factory and a kind test.
struct CRuntimeClass {
  const char* m_lpszClassName = "";
  CObject* (*m_pfnCreateObject)() = nullptr;
  bool (*m_pfnIsKindOf)(const CObject*) = nullptr;
  CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
};

class CObject {
 public:
  virtual ~CObject() = default;
  bool IsKindOf(const CRuntimeClass* rc) const {
    return rc && rc->m_pfnIsKindOf && rc->m_pfnIsKindOf(this);
  }
};

namespace detail {
template <class T>
concept HasRuntimeName = requires {
  T::kRuntimeClassName;
};
template <class T>
const char* RuntimeName() {
  if constexpr (HasRuntimeName<T>)
    return T::kRuntimeClassName;
  else
    return typeid(T).name();
}
}  // namespace detail

// The run-time class of T. T is created with its default constructor when it has one;
// its name is T::kRuntimeClassName when T declares one.
template <class T>
const CRuntimeClass* RuntimeClassOf() {
  static const CRuntimeClass rc{
      detail::RuntimeName<T>(),
      []() -> CObject* {
        if constexpr (std::is_default_constructible_v<T> && !std::is_abstract_v<T>)
          return new T();
        else
          return nullptr;
      },
      [](const CObject* o) { return dynamic_cast<const T*>(o) != nullptr; }};
  return &rc;
}
#define RUNTIME_CLASS(T) (::plat::RuntimeClassOf<T>())

// The state a command's update handler sets: enabled and check mark (0 clear, 1 checked,
// 2 indeterminate). A handler that does nothing leaves the item enabled.
class CCmdUI {
 public:
  explicit CCmdUI(UINT id = 0) : m_nID(id) {}
  void Enable(BOOL on = TRUE) {
    m_bEnabled = on != FALSE;
    m_bEnableChanged = true;
  }
  void SetCheck(int check = 1) { m_nCheck = check; }
  void SetRadio(BOOL on = TRUE) { m_nCheck = on ? 1 : 0; }
  void SetText(const std::string& text) {
    m_strText = text;
    m_bTextChanged = true;
  }

  UINT m_nID = 0;
  bool m_bEnabled = true;
  bool m_bEnableChanged = false;
  int m_nCheck = 0;
  std::string m_strText;
  bool m_bTextChanged = false;
};

// An object with a command table: handlers and update handlers by command id (or id
// range). A later entry for an id replaces an earlier one, so a derived class that maps
// an id its base maps wins, as the class library's message maps do.
class CCmdTarget : public CObject {
 public:
  using Handler = std::function<void()>;
  using RangeHandler = std::function<void(UINT)>;
  using UpdateHandler = std::function<void(CCmdUI*)>;

  // ON_COMMAND, ON_COMMAND_RANGE, ON_UPDATE_COMMAND_UI, ON_UPDATE_COMMAND_UI_RANGE.
  void MapCommand(UINT id, Handler h);
  void MapCommandRange(UINT first, UINT last, RangeHandler h);
  void MapUpdate(UINT id, UpdateHandler h);
  void MapUpdateRange(UINT first, UINT last, UpdateHandler h);
  template <class T>
  void MapCommand(UINT id, void (T::*fn)()) {
    T* self = static_cast<T*>(this);
    MapCommand(id, Handler([self, fn] { (self->*fn)(); }));
  }
  template <class T>
  void MapUpdate(UINT id, void (T::*fn)(CCmdUI*)) {
    T* self = static_cast<T*>(this);
    MapUpdate(id, UpdateHandler([self, fn](CCmdUI* ui) { (self->*fn)(ui); }));
  }

  // With `ui` null runs the command's handler; otherwise runs its update handler, or,
  // when it has a handler but no update handler, leaves `ui` enabled. True when this
  // target (or one it routes to) knows the id.
  virtual bool OnCmdMsg(UINT id, CCmdUI* ui);
  // Only this object's own table, without routing.
  bool DispatchOwn(UINT id, CCmdUI* ui);
  bool HasHandler(UINT id) const;
  // The id ranges (first, last) this object's own table runs a command for.
  std::vector<std::pair<UINT, UINT>> CommandRanges() const;

 private:
  struct Entry {
    UINT first, last;
    RangeHandler run;      // empty for update entries
    UpdateHandler update;  // empty for command entries
  };
  const Entry* Find(UINT id, bool update) const;
  std::vector<Entry> entries_;
};

}  // namespace plat
