// Run-time class records: a window object can be asked whether it is of a class
// or of a class derived from it, without the language's own type information, so
// that a window found by its handle can be recognised (for example as a menu).
#pragma once

#include <windows.h>

// One record per class that declares itself dynamic; the records form a chain to the root.
class CRuntimeClass {
  public:
    // True when this class is pBaseClass or derives from it.
    BOOL IsDerivedFrom(const CRuntimeClass* pBaseClass) const;

    const char* m_lpszClassName;        // the class's name, for diagnostics
    const CRuntimeClass* m_pBaseClass;  // the record of the base class; null for the root
};

// The record of a class.
#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

// Gives a class below the root its own record.
#define DECLARE_DYNAMIC(class_name)                        \
  public:                                                  \
    static const CRuntimeClass class##class_name;          \
    const CRuntimeClass* GetRuntimeClass() const override; \
                                                           \
  private:

// Defines the record of a class declared with DECLARE_DYNAMIC.
#define IMPLEMENT_DYNAMIC(class_name, base_class_name)                                    \
    const CRuntimeClass class_name::class##class_name = {#class_name,                     \
                                                         RUNTIME_CLASS(base_class_name)}; \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }
