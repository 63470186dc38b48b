// The library's own exception: raised for a bad state of the tray manager and
// always caught at the export that called into the library.
#pragma once

#include <exception>

#include "text/StrBuf.h"

class CvelException : public std::exception {
  public:
    CvelException();
    explicit CvelException(const char* pszMessage);
    CvelException(const CvelException& other);
    CvelException& operator=(const CvelException& other);
    ~CvelException() override;

    // The message given at construction; empty when there was none.
    const char* what() const noexcept override;

  private:
    CStrBuf m_strMessage;  // own copy of the message
};
