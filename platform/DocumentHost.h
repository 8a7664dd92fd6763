// What a document needs of the document/view framework: telling its views to update,
// its title and its modified flag. The framework side implements it; the document holds
// a reference and never sees a window.
#pragma once
#include <string>

#include "platform/WinTypes.h"

namespace plat {

class DocumentHost {
 public:
  virtual ~DocumentHost() = default;
  // Delivered synchronously to every view except `sender` (which may be null).
  // `hint` is the 32-bit bit set the views filter on; `object` is passed through.
  virtual void UpdateAllViews(void* sender, LONG hint = 0, void* object = nullptr) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  virtual std::string GetTitle() const = 0;
  virtual void SetModifiedFlag(bool modified = true) = 0;
  virtual bool IsModified() const = 0;
};

}  // namespace plat
