// Ownership of COM objects and of the memory that COM hands out.
#pragma once

#include <objbase.h>

#include <memory>

namespace zanthrel::app {

struct ComRelease {
  void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

struct CoTaskFree {
  void operator()(void* memory) const { CoTaskMemFree(memory); }
};
template <typename T>
using CoTaskPtr = std::unique_ptr<T, CoTaskFree>;

}  // namespace zanthrel::app
