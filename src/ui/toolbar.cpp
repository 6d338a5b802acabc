#include "ui/toolbar.h"

#include "com/module.h"
#include "resource_ids.h"
#include "ui/file_type_icon.h"
#include "ui/ui_scale.h"

#include <utility>
#include <vector>

namespace rb {

namespace {

constexpr WORD kToolbarResourceType = 241;

struct ButtonText {
    UINT command;
    const char* text;
};

const ButtonText kButtonTexts[] = {
    {ID_EXPORT_LIST, "Liste"},    {ID_INFO_MENU, "Info ..."}, {ID_SEARCH_MENU, "I-net ?!"},
    {IDCANCEL, "Beenden"},        {ID_SHOW_NOTES, "Notiz"},   {ID_SHOW_COLUMNS, "Deine-Spalten"},
    {ID_SHOW_DETAILS, "Details"},
};

// The toolbar's own procedure, kept beside it while it is driven from the keyboard.
constexpr const wchar_t* kToolbarProcedure = L"RubrikatorToolbarProcedure";

// The next enabled button from `from` in `step` direction (1 or -1), or -1.
int NextButton(HWND toolbar, int from, int step) {
    int count = static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = from + step; i >= 0 && i < count; i += step) {
        TBBUTTON button = {};
        SendMessageA(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&button));
        if (!(button.fsStyle & BTNS_SEP) && (button.fsState & TBSTATE_ENABLED))
            return i;
    }
    return -1;
}

// The toolbar is a tab stop (and a Unicode window, as the control is made): with the focus on it, Left and Right move between its
// buttons and Enter or Space presses the one marked, as in Explorer's own toolbars.
LRESULT CALLBACK ToolbarKeys(HWND toolbar, UINT message, WPARAM wParam, LPARAM lParam) {
    auto own = reinterpret_cast<WNDPROC>(GetPropW(toolbar, kToolbarProcedure));
    if (!own)
        return DefWindowProcW(toolbar, message, wParam, lParam);
    // The hot item only where a key or the focus needs it, not on every paint or mouse move.
    auto hotItem = [toolbar] {
        return static_cast<int>(SendMessageA(toolbar, TB_GETHOTITEM, 0, 0));
    };
    switch (message) {
    case WM_GETDLGCODE: {
        LRESULT code = CallWindowProcW(own, toolbar, message, wParam, lParam) | DLGC_WANTARROWS;
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if (key && key->message == WM_KEYDOWN &&
            (key->wParam == VK_RETURN || key->wParam == VK_SPACE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETFOCUS:
        if (hotItem() < 0)
            SendMessageA(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(NextButton(toolbar, -1, 1)),
                         0);
        break;
    case WM_KILLFOCUS:
        SendMessageA(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);
        break;
    case WM_KEYDOWN: {
        int hot = hotItem();
        if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            int next = NextButton(toolbar, hot, wParam == VK_RIGHT ? 1 : -1);
            if (next >= 0)
                SendMessageA(toolbar, TB_SETHOTITEM, static_cast<WPARAM>(next), 0);
            return 0;
        }
        if ((wParam == VK_RETURN || wParam == VK_SPACE) && hot >= 0) {
            if (UINT command = PressedCommand(toolbar, hot))
                PostMessageW(GetParent(toolbar), WM_COMMAND, command,
                             reinterpret_cast<LPARAM>(toolbar));
            return 0;
        }
        break;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrW(toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropW(toolbar, kToolbarProcedure);
        break;
    default:
        break;
    }
    return CallWindowProcW(own, toolbar, message, wParam, lParam);
}

} // namespace

UINT PressedCommand(HWND toolbar, int index) {
    int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    if (index < 0 || index >= count)
        return 0;
    TBBUTTON button = {};
    SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&button));
    if ((button.fsStyle & BTNS_SEP) || !(button.fsState & TBSTATE_ENABLED))
        return 0;
    return static_cast<UINT>(button.idCommand);
}

HBITMAP ToolbarStrip(int size) {
    struct Strip {
        int size, id;
    } const strips[] = {{16, IDB_TOOLBAR}, {24, IDB_TOOLBAR_24}, {32, IDB_TOOLBAR_32}};
    const Strip* chosen = &strips[2];
    for (const Strip& strip : strips)
        if (strip.size >= size) {
            chosen = &strip;
            break;
        }
    HBITMAP drawn = static_cast<HBITMAP>(LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(chosen->id),
                                                    IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!drawn || chosen->size == size)
        return drawn;
    HBITMAP stretched = StretchedBitmap(drawn, 7 * size, size, false);
    DeleteObject(drawn);
    return stretched;
}

MainToolbar::~MainToolbar() {
    if (images_)
        ImageList_Destroy(images_);
}

HWND MainToolbar::Create(HWND dialog, const RECT& place, HICON programIcon, bool exportEnabled,
                         int dpi) {
    HINSTANCE instance = ModuleInstance();
    place_ = place;
    programIcon_ = programIcon;
    toolbar_ = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, L"",
        // A tab stop: the keyboard reaches its buttons after the page's controls.
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_NODIVIDER |
            CCS_NORESIZE | CCS_NOPARENTALIGN,
        place.left, place.top, place.right - place.left, place.bottom - place.top, dialog,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID_TOOLBAR)), instance, nullptr);
    if (!toolbar_)
        return nullptr;
    SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    // Toolbar resource 128 as windres lays it out: image width, image height and the
    // number of buttons, then the commands (0 for a separator), 32 bits each.
    std::vector<TBBUTTON> buttons;
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(IDR_TOOLBAR),
                                MAKEINTRESOURCEA(kToolbarResourceType));
    HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
    const DWORD* data = loaded ? static_cast<const DWORD*>(LockResource(loaded)) : nullptr;
    DWORD values = found ? SizeofResource(instance, found) / sizeof(DWORD) : 0;
    if (data && values >= 3 && data[2] <= values - 3) {
        int image = 0;
        for (DWORD i = 0; i < data[2]; ++i) {
            TBBUTTON button = {};
            button.idCommand = static_cast<int>(data[3 + i]);
            button.fsState = TBSTATE_ENABLED;
            if (button.idCommand == 0) {
                button.fsStyle = BTNS_SEP;
            } else {
                button.iBitmap = image++;
                button.fsStyle = BTNS_BUTTON;
            }
            buttons.push_back(button);
        }
    }
    SendMessageA(toolbar_, TB_ADDBUTTONSA, buttons.size(),
                 reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageA(toolbar_, TB_ENABLEBUTTON, ID_EXPORT_LIST, MAKELONG(exportEnabled, 0));
    for (const ButtonText& entry : kButtonTexts) {
        TBBUTTONINFOA info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_STYLE;
        SendMessageA(toolbar_, TB_GETBUTTONINFOA, entry.command, reinterpret_cast<LPARAM>(&info));
        info.dwMask = TBIF_TEXT | TBIF_STYLE;
        info.fsStyle |= BTNS_AUTOSIZE;
        info.pszText = const_cast<char*>(entry.text);
        SendMessageA(toolbar_, TB_SETBUTTONINFOA, entry.command, reinterpret_cast<LPARAM>(&info));
    }
    SetWindowLongPtrA(toolbar_, GWL_STYLE, GetWindowLongPtrA(toolbar_, GWL_STYLE) | TBSTYLE_LIST);
    SetScale(dpi);
    SetPropW(toolbar_, kToolbarProcedure,
             reinterpret_cast<HANDLE>(GetWindowLongPtrW(toolbar_, GWLP_WNDPROC)));
    SetWindowLongPtrW(toolbar_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ToolbarKeys));
    return toolbar_;
}

void MainToolbar::SetScale(int dpi) {
    if (!toolbar_)
        return;
    // Images at the small icon size of the toolbar's monitor.
    const int size = SmallIconSizeAt(dpi);
    HIMAGELIST images = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 7, 1);
    if (!images)
        return;
    // Bitmap 128: one image per button, on light grey.
    if (HBITMAP strip = ToolbarStrip(size)) {
        ImageList_AddMasked(images, strip, RGB(192, 192, 192));
        DeleteObject(strip);
    }
    // Four images come from the shell and the program icon, each at its button's image.
    const std::pair<UINT, HICON> replaced[] = {
        {ID_SEARCH_MENU, FileTypeIcon(".url", false)},
        {ID_INFO_MENU, FileTypeIcon(".hlp", false)},
        {ID_SHOW_COLUMNS, programIcon_},
        {ID_SHOW_NOTES, FileTypeIcon(".txt", false)},
    };
    for (const auto& entry : replaced) {
        TBBUTTONINFOA info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_IMAGE;
        if (entry.second && SendMessageA(toolbar_, TB_GETBUTTONINFOA, entry.first,
                                         reinterpret_cast<LPARAM>(&info)) >= 0)
            ImageList_ReplaceIcon(images, info.iImage, entry.second);
    }
    SendMessageA(toolbar_, TB_SETBITMAPSIZE, 0, MAKELONG(size, size));
    SendMessageA(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    if (images_)
        ImageList_Destroy(images_);
    images_ = images;
    SendMessageA(toolbar_, TB_AUTOSIZE, 0, 0);
    // As tall as its buttons, whatever the scale: nothing of them is cut.
    LONG height = place_.bottom - place_.top;
    LONG buttonHeight = HIWORD(SendMessageA(toolbar_, TB_GETBUTTONSIZE, 0, 0));
    if (buttonHeight > height)
        height = buttonHeight;
    SetWindowPos(toolbar_, nullptr, 0, 0, place_.right - place_.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace rb
