#include "framework/Wnd.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/CriticalSection.h"
#include "framework/ModuleState.h"

namespace {

// Layer flags in CWnd::m_nFlags.
constexpr UINT WF_TOOLTIPS = 0x0001;       // the window asked for tool tips
constexpr UINT WF_MODALLOOP = 0x0002;      // a modal loop of the object runs
constexpr UINT WF_CONTINUEMODAL = 0x0004;  // that loop is to go on

// Messages after which the modal loop's next empty queue is reported again: any but a
// paint or the system's own timer, which come by themselves while nothing happens. The
// platform's headers do not name the system's timer message (the caret's blink, among others).
constexpr UINT WM_SYSTIMER = 0x0118;

// The default window class of the layer: the system's default procedure, so that a
// window of the class stays harmless after the module has gone.
constexpr char kDefaultClassName[] = "velAfxWnd";

// Wrappers handed out by FromHandle for windows made elsewhere, by window handle. Built
// before and destroyed after the library's own process-wide objects, whose clean-up
// still forgets window handles.
std::map<HWND, std::unique_ptr<CWnd>> g_handleMap AFX_FRAMEWORK_INIT;

// Objects bound to their windows by CreateEx, by window handle; not owned.
std::map<HWND, CWnd*> g_permanentMap AFX_FRAMEWORK_INIT;

// Guards both maps: windows are looked up on every thread that dispatches a message, and
// bound or forgotten on the threads that make and destroy them.
CCriticalSection g_mapLock AFX_FRAMEWORK_INIT;

// Forgets the object bound to a window.
void ErasePermanent(HWND hWnd) {
    CScopedLock lock(g_mapLock);
    g_permanentMap.erase(hWnd);
}

// The window classes AfxRegisterClass registered, unregistered at the module's unload:
// a class of a module that has gone would otherwise stay registered in the process.
class CRegisteredClasses {
  public:
    CRegisteredClasses() = default;
    ~CRegisteredClasses() {
        for (const auto& entry : m_classes) UnregisterClassA(entry.first.c_str(), entry.second);
    }
    CRegisteredClasses(const CRegisteredClasses&) = delete;
    CRegisteredClasses& operator=(const CRegisteredClasses&) = delete;

    // Notes a class that was registered.
    void Add(const char* pszName, HINSTANCE hInstance) {
        m_classes.emplace_back(pszName, hInstance);
    }

  private:
    std::vector<std::pair<std::string, HINSTANCE>> m_classes;  // name and module of each class
};
CRegisteredClasses g_registeredClasses AFX_FRAMEWORK_INIT;

// The object waiting in CreateEx for its window to be created on this thread.
thread_local CWnd* t_pWndInit = nullptr;

// The message being handled on this thread, for CWnd::Default.
thread_local MSG t_lastSentMsg = {};

// Makes a message the one being handled for one scope; the previous one comes back on
// every way out, so Default stays right in nested messages.
class CLastMsgScope {
  public:
    CLastMsgScope(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) : m_prev(t_lastSentMsg) {
        t_lastSentMsg = MSG{hWnd, message, wParam, lParam, 0, {0, 0}};
    }
    ~CLastMsgScope() { t_lastSentMsg = m_prev; }
    CLastMsgScope(const CLastMsgScope&) = delete;
    CLastMsgScope& operator=(const CLastMsgScope&) = delete;

  private:
    MSG m_prev;  // the message handled around this one
};

// The module whose windows the layer makes: the current module state's; before the
// module is attached (a program linked with the library's code), the module that
// holds this code.
HINSTANCE WindowInstance() {
    HINSTANCE hInstance = AfxGetInstanceHandle();
    if (hInstance != nullptr) return hInstance;
    HMODULE hSelf = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&WindowInstance), &hSelf);
    return hSelf;
}

// True for the input method's own windows, which the system may create on the thread
// while a window of the layer is being created; they are never bound to an object.
bool IsImeWindow(HWND hWnd) {
    if ((GetClassLongA(hWnd, GCL_STYLE) & CS_IME) != 0) return true;
    char szClass[8] = {};
    return GetClassNameA(hWnd, szClass, sizeof(szClass)) != 0 && lstrcmpiA(szClass, "IME") == 0;
}

}  // namespace

BOOL AfxRegisterClass(WNDCLASSA* lpWndClass) {
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr) return FALSE;
    WNDCLASSA existing = {};
    if (GetClassInfoA(lpWndClass->hInstance, lpWndClass->lpszClassName, &existing)) return TRUE;
    if (RegisterClassA(lpWndClass) == 0) return FALSE;
    g_registeredClasses.Add(lpWndClass->lpszClassName, lpWndClass->hInstance);
    return TRUE;
}

const CRuntimeClass CWnd::classCWnd = {"CWnd", nullptr};

bool IsWindowOfThisThread(HWND hWnd) {
    return ::GetWindowThreadProcessId(hWnd, nullptr) == ::GetCurrentThreadId();
}

CWnd::CWnd() : m_hWnd(nullptr), m_pfnSuper(nullptr), m_nFlags(0), m_nModalResult(0) {}

CWnd::~CWnd() {
    if (m_hWnd == nullptr || FromHandlePermanent(m_hWnd) != this) return;
    // Another thread's window is only let go of: DestroyWindow would wait for that thread
    // (Wine sends it the request), which may never answer. Its messages find no object
    // from now on; it goes with its parent or its thread.
    if (IsWindowOfThisThread(m_hWnd)) {
        // The window's last messages reach this object as a plain CWnd now.
        ::DestroyWindow(m_hWnd);
    }
    if (m_hWnd != nullptr) ErasePermanent(m_hWnd);
}

HWND CWnd::GetSafeHwnd() const { return m_hWnd; }

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    CWnd* pWnd = FromHandlePermanent(hWnd);
    if (pWnd != nullptr) return pWnd;
    CScopedLock lock(g_mapLock);
    std::unique_ptr<CWnd>& slot = g_handleMap[hWnd];
    if (!slot) {
        slot = std::make_unique<CWnd>();
        slot->m_hWnd = hWnd;
    }
    return slot.get();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    CScopedLock lock(g_mapLock);
    auto it = g_permanentMap.find(hWnd);
    return it != g_permanentMap.end() ? it->second : nullptr;
}

void CWnd::ForgetHandle(HWND hWnd) {
    // Destroyed outside the lock: the wrapper's destructor looks the handle up again.
    std::unique_ptr<CWnd> pWrapper;
    CScopedLock lock(g_mapLock);
    auto it = g_handleMap.find(hWnd);
    if (it == g_handleMap.end()) return;
    pWrapper = std::move(it->second);
    g_handleMap.erase(it);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    if (m_hWnd != nullptr) return FALSE;
    CREATESTRUCTA cs = {};
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
    cs.hMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID));
    cs.hInstance = WindowInstance();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs)) return FALSE;

    // The hook binds this object to the window before the window's first message.
    HHOOK hHook = SetWindowsHookExA(WH_CBT, &CWnd::CbtFilterHook, nullptr, GetCurrentThreadId());
    if (hHook == nullptr) return FALSE;
    CWnd* pPrevInit = t_pWndInit;
    t_pWndInit = this;
    HWND hWnd =
        CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y, cs.cx, cs.cy,
                        cs.hwndParent, cs.hMenu, cs.hInstance, cs.lpCreateParams);
    t_pWndInit = pPrevInit;
    UnhookWindowsHookEx(hHook);
    if (hWnd == nullptr) {
        // A window refused by another hook after it was bound never gets its last message.
        if (m_hWnd != nullptr && !::IsWindow(m_hWnd)) {
            ErasePermanent(m_hWnd);
            m_hWnd = nullptr;
            m_pfnSuper = nullptr;
        }
        return FALSE;
    }
    if (hWnd != m_hWnd) {
        // Never bound: nobody would own the window.
        ::DestroyWindow(hWnd);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::PreCreateWindow(CREATESTRUCTA& cs) {
    if (cs.lpszClass != nullptr) return TRUE;
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = cs.hInstance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.lpszClassName = kDefaultClassName;
    if (!AfxRegisterClass(&wc)) return FALSE;
    cs.lpszClass = kDefaultClassName;
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult)) {
        lResult = DefWindowProc(message, wParam, lParam);
    }
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(t_lastSentMsg.message, t_lastSentMsg.wParam, t_lastSentMsg.lParam);
}

int CWnd::RunModalLoop(DWORD dwFlags) {
    if (m_hWnd == nullptr || (m_nFlags & WF_MODALLOOP) != 0) return -1;
    const HWND hWndParent = ::GetParent(m_hWnd);
    m_nFlags |= WF_MODALLOOP | WF_CONTINUEMODAL;
    bool bIdle = true;
    MSG msg = {};
    for (;;) {
        if (bIdle && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if ((dwFlags & MLF_NOIDLEMSG) == 0 && hWndParent != nullptr) {
                ::SendMessageA(hWndParent, WM_ENTERIDLE, MSGF_DIALOGBOX,
                               reinterpret_cast<LPARAM>(m_hWnd));
            }
            bIdle = false;
            if (!ContinueModal() || m_hWnd == nullptr) break;
        }
        const BOOL bGot = ::GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0 || bGot == -1) {
            // The thread's own loop must still see the quit request.
            if (bGot == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
        // A window that went away without ending its loop has nothing left to wait for.
        if (!ContinueModal() || m_hWnd == nullptr) break;
        if (msg.message != WM_PAINT && msg.message != WM_SYSTIMER) bIdle = true;
    }
    m_nFlags &= ~(WF_MODALLOOP | WF_CONTINUEMODAL);
    return m_nModalResult;
}

void CWnd::EndModalLoop(int nResult) {
    m_nModalResult = nResult;
    if ((m_nFlags & WF_CONTINUEMODAL) == 0) return;
    m_nFlags &= ~WF_CONTINUEMODAL;
    // Wakes the loop, which may be waiting for a message.
    if (m_hWnd != nullptr) ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CWnd::ContinueModal() const { return (m_nFlags & WF_CONTINUEMODAL) != 0; }

BOOL CWnd::EnableToolTips(BOOL bEnable) {
    const BOOL bPrevious = (m_nFlags & WF_TOOLTIPS) != 0;
    if (bEnable) {
        m_nFlags |= WF_TOOLTIPS;
    } else {
        m_nFlags &= ~WF_TOOLTIPS;
    }
    return bPrevious;
}

BOOL CWnd::IsKindOf(const CRuntimeClass* pClass) const {
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

const CRuntimeClass* CWnd::GetRuntimeClass() const { return RUNTIME_CLASS(CWnd); }

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    UINT nCode = 0;
    if (message == WM_NOTIFY || message == WM_REFLECT_BASE + WM_NOTIFY) {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        if (pNMHDR == nullptr) return FALSE;
        nCode = pNMHDR->code;
        if (message == WM_NOTIFY) {
            CWnd* pChild = FromHandlePermanent(pNMHDR->hwndFrom);
            if (pChild != nullptr && pChild != this &&
                pChild->OnChildNotify(message, wParam, lParam, pResult)) {
                return TRUE;
            }
            // The parent's own map takes WM_NOTIFY entries without a code.
            nCode = 0;
        }
    }
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != nullptr;
         pMap = pMap->pfnGetBaseMap != nullptr ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfnHandler != nullptr;
             ++pEntry) {
            if (pEntry->nMessage == message && pEntry->nCode == nCode) {
                LRESULT lResult = 0;
                pEntry->pfnHandler(this, wParam, lParam, &lResult);
                *pResult = lResult;
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_NOTIFY) return FALSE;
    return OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, pResult);
}

void CWnd::PostNcDestroy() {}

int CWnd::OnCreate(LPCREATESTRUCTA) { return static_cast<int>(Default()); }

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY s_entries[] = {{0, 0, nullptr}};
    static const AFX_MSGMAP s_map = {nullptr, s_entries};
    return &s_map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // A failed creation message must stop the creation; any other message is answered 0.
    const LRESULT lFailed = message == WM_CREATE ? -1 : 0;
    try {
        AFX_MAINTAIN_STATE2 state(AfxGetStaticModuleState());
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd == nullptr) return ::DefWindowProcA(hWnd, message, wParam, lParam);
        LRESULT lResult = lFailed;
        try {
            CLastMsgScope scope(hWnd, message, wParam, lParam);
            lResult = pWnd->WindowProc(message, wParam, lParam);
        } catch (...) {
            lResult = lFailed;
        }
        // The object lets go of the window after its last message, also after a failure.
        if (message == WM_NCDESTROY) pWnd->UnbindWindow();
        return lResult;
    } catch (...) {
        return lFailed;
    }
}

LRESULT CALLBACK CWnd::CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam) {
    try {
        if (nCode == HCBT_CREATEWND && t_pWndInit != nullptr) {
            HWND hWnd = reinterpret_cast<HWND>(wParam);
            if (!IsImeWindow(hWnd)) {
                CWnd* pWnd = t_pWndInit;
                t_pWndInit = nullptr;
                pWnd->BindWindow(hWnd);
            }
        }
    } catch (...) {
        // The window is then made without object; CreateEx destroys it again.
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

void CWnd::BindWindow(HWND hWnd) {
    {
        CScopedLock lock(g_mapLock);
        g_permanentMap[hWnd] = this;
    }
    m_hWnd = hWnd;
    WNDPROC pfnOld = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::AfxWndProc)));
    if (pfnOld != &CWnd::AfxWndProc) m_pfnSuper = pfnOld;
}

void CWnd::UnbindWindow() {
    WNDPROC pfnNow = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
    if (pfnNow == &CWnd::AfxWndProc && m_pfnSuper != nullptr) {
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    }
    ErasePermanent(m_hWnd);
    m_hWnd = nullptr;
    m_pfnSuper = nullptr;
    PostNcDestroy();
}
