// The framework's window class. A window made through CreateEx is bound to its
// object before its first message: one window procedure serves every such
// window, finds the object in the handle map and hands the message to the
// object's message map, whose handlers get typed arguments. What no handler
// takes goes to the window's own default procedure: the class's, or the
// control's own procedure for a common control that the layer subclassed.
// Code that only needs to name a window made elsewhere (for example as the
// owner of a popup menu) holds the wrapper that FromHandle gives for it.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "framework/RuntimeClass.h"

class CWnd;

// A notification of a child, reflected to the child's own object, arrives there as
// this base plus the message.
constexpr UINT WM_REFLECT_BASE = 0xBC00;

// RunModalLoop flag: no WM_ENTERIDLE to the parent window while the loop waits.
constexpr DWORD MLF_NOIDLEMSG = 0x0001;

// True when the window belongs to the calling thread: only that thread can destroy it
// without waiting for another one.
bool IsWindowOfThisThread(HWND hWnd);

// Calls one handler: unpacks the message's arguments, calls the member and stores
// its result.
using AFX_PMSGHANDLER = void (*)(CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

// One entry of a message map.
struct AFX_MSGMAP_ENTRY {
    UINT nMessage;               // the message
    UINT nCode;                  // notification code of a reflected WM_NOTIFY, else 0
    AFX_PMSGHANDLER pfnHandler;  // the handler's call; null ends the entries
};

// A class's message map: its own entries and the way to its base class's map.
struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();  // the base class's map; null for the root
    const AFX_MSGMAP_ENTRY* lpEntries;     // this class's entries, ended by a null handler
};

// The mouse position of a mouse message, with the sign of each coordinate kept.
inline POINT AfxPointFromLParam(LPARAM lParam) {
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

// Gives a class a message map of its own.
#define DECLARE_MESSAGE_MAP()                         \
  protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override; \
                                                      \
  private:

// Opens the entries of a class's map; the entries below call members of theClass.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        using ThisClass = theClass;                                                   \
        using TheBaseClass = baseClass;                                               \
        static const AFX_MSGMAP_ENTRY s_entries[] = {
// Closes the entries of a class's map.
#define END_MESSAGE_MAP()                                                          \
    { 0, 0, nullptr }                                                              \
    }                                                                              \
    ;                                                                              \
    static const AFX_MSGMAP s_map = {&TheBaseClass::GetThisMessageMap, s_entries}; \
    return &s_map;                                                                 \
    }

// int OnCreate(LPCREATESTRUCTA)
#define ON_WM_CREATE()                                                                           \
    {WM_CREATE, 0, [](CWnd* pWnd, WPARAM, LPARAM lParam, LRESULT* pResult) {                     \
         *pResult =                                                                              \
             static_cast<ThisClass*>(pWnd)->OnCreate(reinterpret_cast<LPCREATESTRUCTA>(lParam)); \
     }},
// void OnPaint()
#define ON_WM_PAINT()                                                \
    {WM_PAINT, 0, [](CWnd* pWnd, WPARAM, LPARAM, LRESULT* pResult) { \
         static_cast<ThisClass*>(pWnd)->OnPaint();                   \
         *pResult = 0;                                               \
     }},
// void OnLButtonDown(UINT nFlags, POINT point)
#define ON_WM_LBUTTONDOWN()                                                              \
    {WM_LBUTTONDOWN, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { \
         static_cast<ThisClass*>(pWnd)->OnLButtonDown(static_cast<UINT>(wParam),         \
                                                      AfxPointFromLParam(lParam));       \
         *pResult = 0;                                                                   \
     }},
// void OnMouseMove(UINT nFlags, POINT point)
#define ON_WM_MOUSEMOVE()                                                              \
    {WM_MOUSEMOVE, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { \
         static_cast<ThisClass*>(pWnd)->OnMouseMove(static_cast<UINT>(wParam),         \
                                                    AfxPointFromLParam(lParam));       \
         *pResult = 0;                                                                 \
     }},
// void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_KEYDOWN()                                                                      \
    {WM_KEYDOWN, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {         \
         static_cast<ThisClass*>(pWnd)->OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), \
                                                  HIWORD(lParam));                           \
         *pResult = 0;                                                                       \
     }},
// void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags)
#define ON_WM_CHAR()                                                                      \
    {WM_CHAR, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {         \
         static_cast<ThisClass*>(pWnd)->OnChar(static_cast<UINT>(wParam), LOWORD(lParam), \
                                               HIWORD(lParam));                           \
         *pResult = 0;                                                                    \
     }},
// LRESULT memberFxn(WPARAM, LPARAM), for any message
#define ON_MESSAGE(message, memberFxn)                                            \
    {message, 0, [](CWnd* pWnd, WPARAM wParam, LPARAM lParam, LRESULT* pResult) { \
         *pResult = static_cast<ThisClass*>(pWnd)->memberFxn(wParam, lParam);     \
     }},
// void memberFxn(NMHDR*, LRESULT*), for a notification that the parent reflected back
#define ON_NOTIFY_REFLECT(code, memberFxn)                                                    \
    {WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(code),                                    \
     [](CWnd* pWnd, WPARAM, LPARAM lParam, LRESULT* pResult) {                                \
         static_cast<ThisClass*>(pWnd)->memberFxn(reinterpret_cast<NMHDR*>(lParam), pResult); \
     }},

// Registers a window class for its module unless the module has one of that name
// already. TRUE when the class is there afterwards. Classes registered here are
// unregistered when the module unloads.
BOOL AfxRegisterClass(WNDCLASSA* lpWndClass);

class CWnd {
  public:
    CWnd();
    // Destroys the window that the object was bound to by CreateEx, if it still exists:
    // its messages must not reach an object that is gone.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    // The window, or null for an object without window.
    HWND GetSafeHwnd() const;

    // The object of a window: the one bound to it by CreateEx, else a wrapper. One
    // wrapper per handle, made on first request and kept until ForgetHandle or the
    // module's unload, so the pointer stays valid for as long as its holder may use it.
    static CWnd* FromHandle(HWND hWnd);
    // The object bound to a window by CreateEx; null for any other window.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Drops the wrapper that FromHandle made for a window that is going away; an object
    // bound by CreateEx is not affected.
    static void ForgetHandle(HWND hWnd);

    // Creates the window after PreCreateWindow and binds it to this object before its
    // first message; a common control is subclassed so that its messages pass through
    // the message map first. FALSE when the object has a window already, PreCreateWindow
    // refuses, or the window cannot be made.
    BOOL CreateEx(DWORD dwExStyle, LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam = nullptr);
    // Destroys the window; FALSE when there is none or the system refuses.
    virtual BOOL DestroyWindow();
    // Adjusts the creation values; fills in the layer's default window class when none
    // is named. FALSE stops the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCTA& cs);
    // Handles one message: the message map first, DefWindowProc for the rest.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The window's own default handling: the procedure the window had before the
    // layer subclassed it (the class's or the control's), else the system default.
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // DefWindowProc with the message that is being handled.
    LRESULT Default();

    // Dispatches the thread's messages until EndModalLoop is called on this object or
    // the window goes away; WM_QUIT is put back and ends the loop with -1. While the
    // queue is empty the parent window is told with WM_ENTERIDLE (MSGF_DIALOGBOX, this
    // window) unless the flags hold MLF_NOIDLEMSG. Loops nest: each one ends when its
    // own object is ended and control returns to it. Returns the EndModalLoop value.
    int RunModalLoop(DWORD dwFlags = 0);
    // Marks the running loop of this object to end with the value; does nothing when
    // no loop of this object runs.
    void EndModalLoop(int nResult);
    // True while the loop of this object is to go on.
    BOOL ContinueModal() const;
    // Records whether the window asks for tool tips; returns the previous request.
    // The layer shows no tips of its own: the windows that ask have no tip texts.
    BOOL EnableToolTips(BOOL bEnable = TRUE);

    // True when the object's class is pClass or derives from it.
    BOOL IsKindOf(const CRuntimeClass* pClass) const;
    // The record of the object's class.
    virtual const CRuntimeClass* GetRuntimeClass() const;
    static const CRuntimeClass classCWnd;  // the root record

    HWND m_hWnd;  // the window

  protected:
    // Looks the message up in the message map, the class's own entries before its base's;
    // a WM_NOTIFY from a child bound by CreateEx is first offered to the child. TRUE with
    // *pResult set when a handler took it.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Offers a notification of this window to its own message map as a reflected one.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Runs after the last message of the window, once the object has let go of it.
    virtual void PostNcDestroy();
    // The default creation handling, for derived handlers of WM_CREATE.
    int OnCreate(LPCREATESTRUCTA lpCreateStruct);

    // The root's message map, without entries.
    static const AFX_MSGMAP* GetThisMessageMap();
    // The message map of the object's class.
    virtual const AFX_MSGMAP* GetMessageMap() const;

    WNDPROC m_pfnSuper;  // the window's procedure before the layer subclassed it
    UINT m_nFlags;       // window state flags of the layer (modal loop, tool tips)
    int m_nModalResult;  // the value the modal loop returns

  private:
    // The one window procedure of the windows made through the layer.
    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Binds the object waiting in CreateEx to the window being created.
    static LRESULT CALLBACK CbtFilterHook(int nCode, WPARAM wParam, LPARAM lParam);
    // Enters the object in the handle map and subclasses its window.
    void BindWindow(HWND hWnd);
    // Lets go of the window after its last message: restores its own procedure,
    // leaves the handle map and runs PostNcDestroy.
    void UnbindWindow();
};
