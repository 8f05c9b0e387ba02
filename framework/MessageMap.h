#pragma once
#include <windows.h>

class CWnd;

// A static table per class, searched in order and chained to the base class's table.
// WM_COMMAND entries match on the notification code and the control or command id.
struct MessageMapEntry {
    UINT nMessage;
    UINT nCode;  // WM_COMMAND only: notification code (0 for menu commands and BN_CLICKED)
    UINT nID;    // WM_COMMAND only: command or control id
    LRESULT (*pfnHandler)(CWnd* pWnd, WPARAM wParam, LPARAM lParam);
    const UINT* pnRegisteredMessage;  // a message number known only at run time, else null
};

struct MessageMap {
    const MessageMap* (*pfnGetBaseMap)();
    const MessageMapEntry* lpEntries;  // ends with an entry whose handler is null
};

namespace msgthunk {
template <class T>
struct ClassOf;
template <class C, class R, class... A>
struct ClassOf<R (C::*)(A...)> {
    using type = C;
};
template <auto F>
using Owner = typename ClassOf<decltype(F)>::type;
template <auto F>
Owner<F>* Self(CWnd* pWnd) {
    return static_cast<Owner<F>*>(pWnd);
}

// int OnCreate(LPCREATESTRUCT lpCreateStruct)
template <auto F>
LRESULT Create(CWnd* w, WPARAM, LPARAM l) {
    return (Self<F>(w)->*F)(reinterpret_cast<LPCREATESTRUCT>(l));
}
// void OnXxx()
template <auto F>
LRESULT Void(CWnd* w, WPARAM, LPARAM) {
    (Self<F>(w)->*F)();
    return 0;
}
// void OnSize(UINT nType, int cx, int cy)
template <auto F>
LRESULT Size(CWnd* w, WPARAM wp, LPARAM l) {
    (Self<F>(w)->*F)(static_cast<UINT>(wp), static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l)));
    return 0;
}
// void OnSysCommand(UINT nID, LPARAM lParam)
template <auto F>
LRESULT SysCommand(CWnd* w, WPARAM wp, LPARAM l) {
    (Self<F>(w)->*F)(static_cast<UINT>(wp), l);
    return 0;
}
// HCURSOR OnQueryDragIcon()
template <auto F>
LRESULT QueryDragIcon(CWnd* w, WPARAM, LPARAM) {
    return reinterpret_cast<LRESULT>((Self<F>(w)->*F)());
}
// LRESULT OnNcHitTest(POINT point), screen coordinates
template <auto F>
LRESULT NcHitTest(CWnd* w, WPARAM, LPARAM l) {
    POINT pt = {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
    return (Self<F>(w)->*F)(pt);
}
// BOOL OnEraseBkgnd(HDC hDC)
template <auto F>
LRESULT EraseBkgnd(CWnd* w, WPARAM wp, LPARAM) {
    return (Self<F>(w)->*F)(reinterpret_cast<HDC>(wp));
}
// LRESULT OnMessage(WPARAM wParam, LPARAM lParam)
template <auto F>
LRESULT Message(CWnd* w, WPARAM wp, LPARAM l) {
    return (Self<F>(w)->*F)(wp, l);
}
}  // namespace msgthunk

#define DECLARE_MESSAGE_MAP()                                      \
protected:                                                         \
    static const MessageMap* GetThisMessageMap();                  \
    const MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                           \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }    \
    const MessageMap* theClass::GetThisMessageMap() {                                    \
        using ThisClass = theClass;                                                      \
        using TheBaseClass = baseClass;                                                  \
        static const MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                     \
    {0, 0, 0, nullptr, nullptr}};                                                      \
    static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
    return &map;                                                              \
    }

#define ON_WM_CREATE() {WM_CREATE, 0, 0, &msgthunk::Create<&ThisClass::OnCreate>, nullptr},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, &msgthunk::Void<&ThisClass::OnDestroy>, nullptr},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, &msgthunk::Void<&ThisClass::OnPaint>, nullptr},
#define ON_WM_SIZE() {WM_SIZE, 0, 0, &msgthunk::Size<&ThisClass::OnSize>, nullptr},
#define ON_WM_ERASEBKGND() {WM_ERASEBKGND, 0, 0, &msgthunk::EraseBkgnd<&ThisClass::OnEraseBkgnd>, nullptr},
#define ON_WM_SYSCOMMAND() {WM_SYSCOMMAND, 0, 0, &msgthunk::SysCommand<&ThisClass::OnSysCommand>, nullptr},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, &msgthunk::QueryDragIcon<&ThisClass::OnQueryDragIcon>, nullptr},
#define ON_WM_NCHITTEST() {WM_NCHITTEST, 0, 0, &msgthunk::NcHitTest<&ThisClass::OnNcHitTest>, nullptr},
#define ON_MESSAGE(message, memberFxn) {message, 0, 0, &msgthunk::Message<&ThisClass::memberFxn>, nullptr},
#define ON_COMMAND(id, memberFxn) {WM_COMMAND, 0, id, &msgthunk::Void<&ThisClass::memberFxn>, nullptr},
#define ON_BN_CLICKED(id, memberFxn) {WM_COMMAND, BN_CLICKED, id, &msgthunk::Void<&ThisClass::memberFxn>, nullptr},
#define ON_CONTROL(code, id, memberFxn) {WM_COMMAND, code, id, &msgthunk::Void<&ThisClass::memberFxn>, nullptr},
#define ON_REGISTERED_MESSAGE(nMessageVariable, memberFxn) \
    {0, 0, 0, &msgthunk::Message<&ThisClass::memberFxn>, &nMessageVariable},
