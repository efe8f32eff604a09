#include "ui/keymapping.h"

#include <Qt>

namespace Keys {

namespace {

struct KeyScan
{
    int key;
    int scan;
};

// Windows virtual-key codes; plus/equals and minus/underscore give the keypad's add/subtract.
constexpr KeyScan kGen5Keys[] = {
    {Qt::Key_Space, 32},  {Qt::Key_Plus, 107},  {Qt::Key_Equal, 107},   {Qt::Key_Minus, 109}, {Qt::Key_Underscore, 109},
    {Qt::Key_Escape, 27}, {Qt::Key_Tab, 9},     {Qt::Key_Backspace, 8}, {Qt::Key_Insert, 45}, {Qt::Key_Delete, 46},
    {Qt::Key_Home, 36},   {Qt::Key_End, 35},    {Qt::Key_Left, 37},     {Qt::Key_Up, 38},     {Qt::Key_Right, 39},
    {Qt::Key_Down, 40},   {Qt::Key_PageUp, 33}, {Qt::Key_PageDown, 34}, {Qt::Key_Shift, 16},  {Qt::Key_Control, 17},
    {Qt::Key_Alt, 18},
};

constexpr KeyScan kGen6Keys[] = {
    {Qt::Key_Space, 38},    {Qt::Key_ParenLeft, 40}, {Qt::Key_ParenRight, 40}, {Qt::Key_Plus, 43},
    {Qt::Key_Equal, 43},    {Qt::Key_Comma, 44},     {Qt::Key_Minus, 45},      {Qt::Key_Underscore, 45},
    {Qt::Key_Less, 60},     {Qt::Key_Greater, 60},   {Qt::Key_BraceLeft, 91},  {Qt::Key_BraceRight, 91},
    {Qt::Key_Escape, 4},    {Qt::Key_Tab, 5},        {Qt::Key_Backspace, 6},   {Qt::Key_Insert, 3},
    {Qt::Key_Delete, 9},    {Qt::Key_Home, 10},      {Qt::Key_End, 11},        {Qt::Key_Left, 12},
    {Qt::Key_Up, 13},       {Qt::Key_Right, 14},     {Qt::Key_Down, 15},       {Qt::Key_PageUp, 13},
    {Qt::Key_PageDown, 15}, {Qt::Key_Shift, 20},     {Qt::Key_Control, 21},    {Qt::Key_Alt, 23},
};

template<size_t N>
bool lookUp(const KeyScan (&table)[N], int key, int &scan)
{
    for (const KeyScan &entry : table) {
        if (entry.key == key) {
            scan = entry.scan;
            return true;
        }
    }
    return false;
}

// Letters keep their key code; F1..F12 run on from firstF.
bool rangeScan(int key, int firstF, int &scan)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z) {
        scan = key;
        return true;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        scan = firstF + (key - Qt::Key_F1);
        return true;
    }
    return false;
}

}

Edition editionOf(const QString &sysType)
{
    if (sysType == QLatin1String("GEN5"))
        return Edition::Gen5;
    if (sysType == QLatin1String("GEN6"))
        return Edition::Gen6;
    return Edition::Other;
}

bool scanCode(Edition edition, int qtKey, int &scan)
{
    if (edition == Edition::Gen6)
        return lookUp(kGen6Keys, qtKey, scan) || rangeScan(qtKey, 24, scan);
    if (!lookUp(kGen5Keys, qtKey, scan) && !rangeScan(qtKey, 112, scan))
        scan = 0; // still looked up: the host may bind scan code 0
    return true;
}

Action actionFor(Edition edition, const QString &funcValue)
{
    bool ok = false;
    int code = funcValue.toInt(&ok, 10);
    if (!ok)
        code = 0;
    struct CodeAction
    {
        int code;
        Action action;
    };
    static const CodeAction gen5[] = {
        {1, Action::PreviousRow}, {2, Action::NextRow}, {3, Action::Toggle}, {30, Action::Exit}, {100, Action::Pay}};
    static const CodeAction gen6[] = {{110, Action::PreviousRow},
                                      {111, Action::NextRow},
                                      {112, Action::Toggle},
                                      {107, Action::Exit},
                                      {115, Action::Pay}};
    if (edition == Edition::Other)
        return Action::None;
    for (const CodeAction &entry : edition == Edition::Gen5 ? gen5 : gen6) {
        if (entry.code == code)
            return entry.action;
    }
    return Action::None;
}

}
