/* A host whose user-interface thread runs a GLib main loop, as GTK tills do. It loads the coupon
 * payment library at run time, calls the entry from a timer of its own loop and reports what it
 * sees: whether a Qt application object exists (through Qt's own exported symbol, since the
 * library exports nothing for it), whether the library keeps itself loaded, and whether the
 * host's timers keep running while the library's nested Qt loops run.
 *
 *   glib-host LIBRARY HEADER.xml GOODS.xml [SECOND-COPY-OF-LIBRARY]
 *
 * The documents are UTF-8 files; they are passed to the library in GBK. */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <glib.h>

typedef int (*CardTrans)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *,
                         char *);

enum { kBufferSize = 64 * 1024, kOutputs = 8 };

struct Host
{
    GMainLoop *loop;
    CardTrans entry;
    char *header;
    char *goods;
    char *outputs[kOutputs];
    char *nestedOutputs[kOutputs];
    int callRunning;
    int ticks;
    int ticksDuringCall;
    int nestedCallTried;
};

static void *const *applicationSlot(void)
{
    /* QCoreApplication::self, exported by QtCore; only there once the library brought QtCore in. */
    void *qtCore = dlopen("libQt5Core.so.5", RTLD_NOW | RTLD_NOLOAD);
    if (!qtCore)
        return NULL;
    void *const *slot = (void *const *)dlsym(qtCore, "_ZN16QCoreApplication4selfE");
    dlclose(qtCore);
    return slot;
}

static void *currentApplication(void)
{
    void *const *slot = applicationSlot();
    return slot ? *slot : NULL;
}

static char *readAsGbk(const char *path)
{
    gchar *utf8 = NULL;
    gsize length = 0;
    if (!g_file_get_contents(path, &utf8, &length, NULL))
        return NULL;
    char *gbk = g_convert(utf8, (gssize)length, "GBK", "UTF-8", NULL, NULL, NULL);
    g_free(utf8);
    return gbk;
}

static char **newOutputs(char **outputs)
{
    for (int i = 0; i < kOutputs; ++i)
        outputs[i] = g_malloc0(kBufferSize);
    return outputs;
}

static int callEntry(struct Host *host, char **out)
{
    return host->entry(host->header, host->goods, NULL, NULL, out[0], out[1], out[2], out[3], out[4], out[5], out[6],
                       out[7]);
}

static gboolean onTick(gpointer data)
{
    struct Host *host = data;
    ++host->ticks;
    if (host->callRunning)
        ++host->ticksDuringCall;
    return G_SOURCE_CONTINUE;
}

/* Fires while the first call still runs: the library must refuse it and leave the first alone. */
static gboolean onNestedCall(gpointer data)
{
    struct Host *host = data;
    host->nestedCallTried = 1;
    if (!host->callRunning) {
        printf("nested call: the first call had already returned\n");
        return G_SOURCE_REMOVE;
    }
    const int rc = callEntry(host, newOutputs(host->nestedOutputs));
    printf("nested call: return %d, %s, %s\n", rc, host->nestedOutputs[0], host->nestedOutputs[1]);
    return G_SOURCE_REMOVE;
}

static gboolean onQuit(gpointer data)
{
    g_main_loop_quit(((struct Host *)data)->loop);
    return G_SOURCE_REMOVE;
}

static gboolean onCall(gpointer data)
{
    struct Host *host = data;
    g_timeout_add(200, onNestedCall, host);
    host->callRunning = 1;
    const int rc = callEntry(host, newOutputs(host->outputs));
    host->callRunning = 0;
    printf("call: return %d, %s, %s\n", rc, host->outputs[0], host->outputs[1]);
    printf("host timer during the call: %s\n", host->ticksDuringCall > 0 ? "ran" : "stalled");
    if (!host->nestedCallTried)
        printf("nested call: never fired\n");
    g_timeout_add(100, onQuit, host);
    return G_SOURCE_REMOVE;
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: glib-host LIBRARY HEADER.xml GOODS.xml [SECOND-COPY-OF-LIBRARY]\n");
        return 2;
    }
    setvbuf(stdout, NULL, _IONBF, 0);

    struct Host host;
    memset(&host, 0, sizeof host);
    host.header = readAsGbk(argv[2]);
    host.goods = readAsGbk(argv[3]);
    if (!host.header || !host.goods) {
        fprintf(stderr, "glib-host: cannot read the documents\n");
        return 2;
    }

    printf("qt before load: %s\n", applicationSlot() ? "present" : "absent");
    void *library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "glib-host: %s\n", dlerror());
        return 2;
    }
    host.entry = (CardTrans)dlsym(library, "TwCardTrans");
    if (!host.entry) {
        fprintf(stderr, "glib-host: TwCardTrans not exported\n");
        return 2;
    }
    void *application = currentApplication();
    printf("application after load: %s\n", application ? "created" : "none");

    if (argc > 4) {
        void *copy = dlopen(argv[4], RTLD_NOW | RTLD_LOCAL);
        printf("second copy loaded: %s\n", copy ? "yes" : "no");
        printf("application after second load: %s\n", currentApplication() == application ? "same" : "changed");
        if (copy)
            dlclose(copy);
        printf("application after unloading the copy: %s\n", currentApplication() == application ? "same" : "changed");
        printf("copy still loaded: %s\n", dlopen(argv[4], RTLD_NOW | RTLD_NOLOAD) ? "yes" : "no");
    }

    host.loop = g_main_loop_new(NULL, FALSE);
    g_timeout_add(20, onTick, &host);
    g_timeout_add(50, onCall, &host);
    g_main_loop_run(host.loop);
    g_main_loop_unref(host.loop);
    printf("host loop ended\n");

    dlclose(library);
    printf("library still loaded after dlclose: %s\n", dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD) ? "yes" : "no");
    return 0;
}
