#include "core/velException.h"

CvelException::CvelException() = default;

CvelException::CvelException(const char* pszMessage) : m_strMessage(pszMessage) {}

CvelException::CvelException(const CvelException& other)
    : std::exception(other), m_strMessage(other.m_strMessage) {}

CvelException& CvelException::operator=(const CvelException& other) {
    std::exception::operator=(other);
    m_strMessage.Assign(other.m_strMessage);
    return *this;
}

CvelException::~CvelException() = default;

const char* CvelException::what() const noexcept { return m_strMessage.CStr(); }
