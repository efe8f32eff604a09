/* A Windows till program in plain C: its own window, its own GetMessage/DispatchMessage loop,
 * and the coupon payment library loaded at run time. It calls the entry from a button handler,
 * as a till does, and keeps count of its own paint and timer messages while the library works.
 *
 *   win-host [--lib DLL] call HEADER GOODS PAY UDP2 [EVENTS]
 *       click the "coupons" button, call TwCardTrans with the documents as they are (GBK),
 *       print parameters 5 and 6 and how many paint and timer messages the host window got
 *       during the call; EVENTS receives one line "paint|timer <local time>" per message
 *   win-host [--lib DLL] [--embed DLL] idle
 *       start Qt timers and queued signals in the library's Qt, then run only the host's loop
 *       for a second and print how many of them ran, and how many had run by the time the
 *       host's loop took its next message (the message hook's work)
 *   win-host [--lib DLL] [--embed DLL] modal
 *       show a modal Qt dialog over the host window through QWinWidget and print whether the
 *       host window was disabled meanwhile and got its focus back
 *   win-host [--lib DLL] [--embed DLL] entries HEADER GOODS PAY UDP2 COUNT
 *       as an integrator's till would check it: the process DPI awareness before and after the
 *       load (a LIB path with a backslash is loaded with LoadLibraryExA and
 *       LOAD_WITH_ALTERED_SEARCH_PATH, the way to keep the library in a folder of its own);
 *       a TwCardTrans call, one from a second thread; unload and load again; COUNT calls of
 *       TwCardTransStd through a __stdcall pointer, comparing the stack pointer and the
 *       outputs with the first call; with a Qt application object, a call during which a
 *       Qt event handler throws
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef int(__cdecl *CardTrans)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *,
                                char *);
typedef int(__stdcall *CardTransStd)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *,
                                     char *, char *);
typedef HRESULT(WINAPI *GetProcessDpiAwarenessProc)(HANDLE, int *);
typedef BOOL(WINAPI *IsProcessDpiAwareProc)(void);
typedef void(__cdecl *ProbeStart)(void);
typedef void(__cdecl *ProbeResult)(int *, int *);
typedef int(__cdecl *ModalCheck)(HWND, char *, int);

enum { kTickMs = 30, kButtonId = 100, kMaxEvents = 100000, kBufferSize = 1 << 20 };

static const char kUntouched[] = "\x01untouched\x01";

static HWND g_window;
static HWND g_button;
static HWND g_edit;
static CardTrans g_entry;
static char *g_documents[4];
static int g_inCall;
static int g_paints;
static int g_timers;
static char (*g_events)[40];
static int g_eventCount;
static const char *g_eventsFile;
static char *g_out[8];
static int g_idleQuitTimer;
static ProbeResult g_probeResult;
static int g_queuedAtNextMessage = -1;

static void fail(const char *what)
{
    fprintf(stderr, "win-host: %s (error %lu)\n", what, GetLastError());
    exit(2);
}

static char *readDocument(const char *name)
{
    FILE *f = fopen(name, "rb");
    long size;
    char *text;
    if (!f)
        return NULL;
    fseek(f, 0, SEEK_END);
    size = ftell(f);
    fseek(f, 0, SEEK_SET);
    text = (char *)calloc((size_t)size + 1, 1);
    if (fread(text, 1, (size_t)size, f) != (size_t)size) {
        fclose(f);
        free(text);
        return NULL;
    }
    fclose(f);
    return text;
}

static void noteEvent(const char *kind)
{
    SYSTEMTIME t;
    if (!g_inCall || g_eventCount >= kMaxEvents)
        return;
    GetLocalTime(&t);
    /* The same stamp as the library's log, so the two can be laid side by side. */
    snprintf(g_events[g_eventCount++], sizeof g_events[0], "%s %04d-%02d-%02d %02d:%02d:%02d:%03d", kind, t.wYear,
             t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
}

static void callEntry(void)
{
    int i, rc;
    for (i = 0; i < 8; ++i) {
        g_out[i] = (char *)calloc(kBufferSize, 1);
        memcpy(g_out[i], kUntouched, sizeof kUntouched);
    }
    g_inCall = 1;
    g_paints = g_timers = 0;
    rc = g_entry(g_documents[0], g_documents[1], g_documents[2], g_documents[3], g_out[0], g_out[1], g_out[2], g_out[3],
                 g_out[4], g_out[5], g_out[6], g_out[7]);
    g_inCall = 0;
    printf("return: %d\n", rc);
    for (i = 0; i < 8; ++i)
        printf("p%d: %s\n", i + 5, strcmp(g_out[i], kUntouched) == 0 ? "(untouched)" : g_out[i]);
    printf("host messages during the call: paint %d timer %d\n", g_paints, g_timers);
    fflush(stdout);
}

static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        if (g_inCall) {
            ++g_paints;
            noteEvent("paint");
        }
        return 0;
    }
    case WM_TIMER:
        if ((int)wParam == g_idleQuitTimer) {
            PostQuitMessage(0);
            return 0;
        }
        if (g_inCall) {
            ++g_timers;
            noteEvent("timer");
        }
        /* A till keeps its screen alive: a clock, a customer display... */
        InvalidateRect(window, NULL, FALSE);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED && g_entry) {
            callEntry();
            PostMessageA(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_APP:
        /* The first message the host takes after Qt work was queued. */
        if (g_probeResult) {
            int ticks = 0;
            g_probeResult(&ticks, &g_queuedAtNextMessage);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

static void createWindow(void)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "TwTillWindow";
    if (!RegisterClassA(&wc))
        fail("RegisterClassA");
    g_window = CreateWindowA("TwTillWindow", "Till", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, NULL, NULL,
                             wc.hInstance, NULL);
    if (!g_window)
        fail("CreateWindowA");
    g_button = CreateWindowA("BUTTON", "Coupons", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 20, 20, 120, 40,
                             g_window, (HMENU)(INT_PTR)kButtonId, wc.hInstance, NULL);
    g_edit = CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP, 20, 80, 200, 28, g_window, NULL,
                           wc.hInstance, NULL);
    ShowWindow(g_window, SW_SHOW);
    UpdateWindow(g_window);
    SetForegroundWindow(g_window);
    SetFocus(g_edit);
}

static int runLoop(void)
{
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

/* GetProcAddress answers with a generic function pointer; the caller knows the real type. */
static void *symbol(HMODULE module, const char *name)
{
    return module ? (void *)(INT_PTR)GetProcAddress(module, name) : NULL;
}

static void *qtApplication(void)
{
    /* QCoreApplication::self, read the way a debugger would: no Qt in this program. */
    HMODULE core = GetModuleHandleA("Qt5Core.dll");
    void **self = (void **)symbol(core, "_ZN16QCoreApplication4selfE");
    return self ? *self : NULL;
}

static HMODULE loadLibrary(const char *path)
{
    /* A full path written with backslashes: the library's own folder comes first in the search
     * for the DLLs it imports (Qt's), as for an executable in that folder. */
    HMODULE library =
        strchr(path, '\\') ? LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH) : LoadLibraryA(path);
    if (!library)
        fail("LoadLibraryA");
    g_entry = (CardTrans)symbol(library, "TwCardTrans");
    if (!g_entry)
        fail("GetProcAddress TwCardTrans");
    return library;
}

/* The process DPI awareness (0 unaware, 1 system, 2 per monitor) as Windows 8.1 and later tell
 * it; older systems only know whether the process is aware at all. -1: not to be read. */
static int dpiAwareness(void)
{
    int awareness = -1;
    GetProcessDpiAwarenessProc get =
        (GetProcessDpiAwarenessProc)symbol(LoadLibraryA("shcore.dll"), "GetProcessDpiAwareness");
    IsProcessDpiAwareProc aware = (IsProcessDpiAwareProc)symbol(GetModuleHandleA("user32.dll"), "IsProcessDPIAware");
    if (get && get(NULL, &awareness) == S_OK)
        return awareness;
    return aware ? (aware() ? 1 : 0) : -1;
}

static char *g_threadOut[8];

static DWORD WINAPI callFromThread(void *unused)
{
    (void)unused;
    g_entry(g_documents[0], g_documents[1], g_documents[2], g_documents[3], g_threadOut[0], g_threadOut[1],
            g_threadOut[2], g_threadOut[3], g_threadOut[4], g_threadOut[5], g_threadOut[6], g_threadOut[7]);
    return 0;
}

static void newBuffers(char **out)
{
    int i;
    for (i = 0; i < 8; ++i)
        out[i] = (char *)calloc(kBufferSize, 1);
}

static int entries(const char *libraryPath, const char *embedPath, int count)
{
    char *out[8];
    HMODULE first, second;
    HANDLE thread;
    CardTransStd entryStd;
    void *application;
    ProbeStart throwSoon;
    int before = dpiAwareness(), after, i, intact = 0, same = 0;

    first = loadLibrary(libraryPath);
    after = dpiAwareness();
    application = qtApplication();
    printf("dpi awareness before %d after %d\napplication: %s\n", before, after, application ? "present" : "none");
    callEntry();

    newBuffers(g_threadOut);
    thread = CreateThread(NULL, 0, callFromThread, NULL, 0, NULL);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    printf("other thread: %s %s\n", g_threadOut[0], g_threadOut[1]);

    FreeLibrary(first);
    printf("still loaded after FreeLibrary: %d\n", GetModuleHandleA("TwCouponPay5.dll") != NULL);
    second = loadLibrary(libraryPath);
    printf("after loading again: same module %d, same application %d\n", first == second,
           qtApplication() == application);

    entryStd = (CardTransStd)symbol(second, "TwCardTransStd");
    if (!entryStd)
        fail("GetProcAddress TwCardTransStd");
    newBuffers(out);
    for (i = 0; i < count; ++i) {
        unsigned int spBefore, spAfter;
        memset(out[0], 0, 16);
        memset(out[1], 0, 4096);
        /* The callee removes the parameters: the stack pointer is where it was. */
        __asm__ volatile("movl %%esp, %0" : "=r"(spBefore)::"memory");
        entryStd(g_documents[0], g_documents[1], g_documents[2], g_documents[3], out[0], out[1], out[2], out[3], out[4],
                 out[5], out[6], out[7]);
        __asm__ volatile("movl %%esp, %0" : "=r"(spAfter)::"memory");
        intact += spBefore == spAfter;
        same += strcmp(out[0], g_out[0]) == 0 && strcmp(out[1], g_out[1]) == 0;
    }
    printf("stdcall calls %d, stack intact %d, same outputs as cdecl %d\n", count, intact, same);

    throwSoon = application ? (ProbeStart)symbol(LoadLibraryA(embedPath), "embed_throw_soon") : NULL;
    if (throwSoon) {
        throwSoon();
        g_entry(g_documents[0], g_documents[1], g_documents[2], g_documents[3], out[0], out[1], out[2], out[3], out[4],
                out[5], out[6], out[7]);
        printf("call with a throwing handler: %s %s\n", out[0], out[1]);
    }
    fflush(stdout);
    return 0;
}

static void readDocuments(char **names)
{
    int i;
    for (i = 0; i < 4; ++i) {
        g_documents[i] = readDocument(names[i]);
        if (!g_documents[i]) {
            fprintf(stderr, "win-host: cannot read %s\n", names[i]);
            exit(2);
        }
    }
}

int main(int argc, char **argv)
{
    const char *libraryPath = "TwCouponPay5.dll";
    const char *embedPath = "win-host-embed.dll";
    const char *mode;
    int arg = 1;
    while (arg + 1 < argc && argv[arg][0] == '-') {
        if (strcmp(argv[arg], "--lib") == 0)
            libraryPath = argv[arg + 1];
        else if (strcmp(argv[arg], "--embed") == 0)
            embedPath = argv[arg + 1];
        else
            break;
        arg += 2;
    }
    if (arg >= argc) {
        fprintf(stderr, "usage: win-host [--lib DLL] [--embed DLL] call|idle|modal|entries [DOCUMENTS] [EVENTS]\n");
        return 2;
    }
    mode = argv[arg++];

    if (strcmp(mode, "call") == 0 && argc - arg >= 4) {
        int i;
        FILE *f;
        readDocuments(argv + arg);
        g_eventsFile = argc - arg >= 5 ? argv[arg + 4] : NULL;
        g_events = calloc(kMaxEvents, sizeof *g_events);
        loadLibrary(libraryPath);
        createWindow();
        SetTimer(g_window, 1, kTickMs, NULL);
        /* The cashier presses the button once the till is up. */
        PostMessageA(g_button, BM_CLICK, 0, 0);
        runLoop();
        if (g_eventsFile && (f = fopen(g_eventsFile, "wb")) != NULL) {
            for (i = 0; i < g_eventCount; ++i)
                fprintf(f, "%s\n", g_events[i]);
            fclose(f);
        }
        return strcmp(g_out[0], "000000") == 0 ? 0 : 1;
    }
    if (strcmp(mode, "idle") == 0) {
        HMODULE embed;
        ProbeStart start;
        ProbeResult result;
        int ticks = 0, queued = 0;
        loadLibrary(libraryPath);
        createWindow();
        embed = LoadLibraryA(embedPath);
        start = (ProbeStart)symbol(embed, "embed_probe_start");
        result = (ProbeResult)symbol(embed, "embed_probe_result");
        if (!start || !result)
            fail("the embedding helper");
        start();
        g_probeResult = result;
        PostMessageA(g_window, WM_APP, 0, 0);
        g_idleQuitTimer = 7;
        SetTimer(g_window, (UINT_PTR)g_idleQuitTimer, 1000, NULL);
        runLoop();
        result(&ticks, &queued);
        printf("qt timer ticks %d, queued signals %d, queued signals run before the host's next message %d\n", ticks,
               queued, g_queuedAtNextMessage);
        return 0;
    }
    if (strcmp(mode, "modal") == 0) {
        HMODULE embed;
        ModalCheck check;
        char report[512] = "";
        loadLibrary(libraryPath);
        createWindow();
        embed = LoadLibraryA(embedPath);
        check = (ModalCheck)symbol(embed, "embed_modal_check");
        if (!check)
            fail("the embedding helper");
        check(g_window, report, (int)sizeof report);
        printf("%s\nhost focus back %d\n", report, GetFocus() == g_edit);
        return 0;
    }
    if (strcmp(mode, "entries") == 0 && argc - arg >= 5) {
        readDocuments(argv + arg);
        return entries(libraryPath, embedPath, atoi(argv[arg + 4]));
    }
    fprintf(stderr, "win-host: unknown mode or missing documents\n");
    return 2;
}
