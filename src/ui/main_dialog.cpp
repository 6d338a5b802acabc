#include "ui/main_dialog.h"

#include "columns/option_store.h"
#include "columns/options.h"
#include "common/shell_open.h"
#include "common/win_handles.h"
#include "common/win_text.h"
#include "export/export_command.h"
#include "export/list_exporter.h"
#include "export/listview_source.h"
#include "export/shell_view_source.h"
#include "com/activation.h"
#include "com/module.h"
#include "shell/shell_selection.h"
#include "ui/file_type_icon.h"
#include "ui/toolbar.h"
#include "ui/ui_scale.h"
#include "web/links.h"
#include "web/mail.h"

#include <exception>

namespace rb {

namespace {

// The commands of the remembered page, by the value of "tab_id".
const UINT kPageCommands[] = {ID_SHOW_COLUMNS, ID_SHOW_NOTES, ID_SHOW_INFO, ID_SHOW_DETAILS};

RECT ControlRect(HWND dialog, int id) {
    RECT rect = {};
    if (HWND control = GetDlgItem(dialog, id)) {
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

HICON ProgramIcon(int width, int height) {
    return static_cast<HICON>(
        LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON, width, height, 0));
}

// HTML resource 202 as a file in the user's temporary folder; the path in the ANSI code
// page (its short form where the long one has characters the code page lacks), or empty.
std::string WriteHelpFile() {
    HRSRC found = FindResourceA(ModuleInstance(), MAKEINTRESOURCEA(IDR_HELP_PAGE),
                                MAKEINTRESOURCEA(RT_HTML_PAGE));
    HGLOBAL loaded = found ? LoadResource(ModuleInstance(), found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    DWORD size = found ? SizeofResource(ModuleInstance(), found) : 0;
    wchar_t folder[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH, folder);
    if (!bytes || !size || length == 0 || length > MAX_PATH)
        return std::string();
    std::wstring path = std::wstring(folder) + AnsiToWide(kHelpFileName);
    {
        UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !WriteFile(file.get(), bytes, size, &written, nullptr) || written != size)
            return std::string();
    }
    std::string ansi = WideToAnsi(path.c_str());
    if (AnsiToWide(ansi) == path)
        return ansi;
    wchar_t shortPath[MAX_PATH + 1] = {};
    length = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    return length && length <= MAX_PATH ? WideToAnsi(shortPath) : std::string();
}

} // namespace

MainDialog::MainDialog(HWND explorerWindow) : explorerWindow_(explorerWindow) {}

MainDialog::~MainDialog() {
    if (banner_)
        DeleteObject(banner_);
    if (largeIcon_)
        DestroyIcon(largeIcon_);
    if (smallIcon_)
        DestroyIcon(smallIcon_);
}

INT_PTR MainDialog::RunModal(HWND owner, int templateId) {
    ScopedModuleActivation activation;
    if (!activation.Active())
        return -1;
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    return DialogBoxParamA(ModuleInstance(), MAKEINTRESOURCEA(templateId), owner,
                           &MainDialog::Procedure, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK MainDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MainDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<MainDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        dialog->window_ = window;
    } else {
        dialog = reinterpret_cast<MainDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (!dialog)
        return FALSE;
    // Nothing may reach the system's message loop, which is Explorer's.
    try {
        if (message == WM_INITDIALOG)
            return dialog->OnInitDialog();
        INT_PTR result = dialog->OnMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(window, DWLP_USER, 0);
            dialog->window_ = nullptr;
            dialog->toolbar_ = nullptr;
        }
        return result;
    } catch (...) {
        return FALSE;
    }
}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_MEASUREITEM:
        return menuRenderer_.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_DRAWITEM:
        return menuRenderer_.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale: the window takes the place the system
        // suggests (where it does not do so itself), the system scales the dialog's fonts
        // and controls, and after that the dialog's own pictures and columns follow.
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        if (suggested)
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        PostMessageW(window_, kScaleChanged, LOWORD(wParam), 0);
        return FALSE;
    }
    case kScaleChanged:
        ScaleLayout(dpi_, static_cast<int>(wParam));
        SetScale(static_cast<int>(wParam));
        return TRUE;
    case WM_SIZE:
        layout_.Follow();
        return FALSE;
    case WM_SHOWWINDOW:
        // The dialog box shows itself with SW_SHOWNORMAL, which would undo a maximise
        // made before; this one comes after.
        if (wParam && maximiseWhenShown_) {
            maximiseWhenShown_ = false;
            PostMessageW(window_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        }
        return FALSE;
    case WM_GETMINMAXINFO:
        if (smallest_.cx > 0) {
            auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
            limits->ptMinTrackSize = {smallest_.cx, smallest_.cy};
        }
        return FALSE;
    case WM_DESTROY:
        KeepSize();
        // The pages' windows still exist here; they go right after the dialog's.
        for (Page* page : Pages())
            page->OnClosing();
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL MainDialog::OnInitDialog() {
    RefreshProductName();
    recommendSubject_ = "Empfehlung f\xFCr: " + ProductName();

    largeIcon_ = ProgramIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    smallIcon_ = ProgramIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
    SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    HICON url = FileTypeIcon(".url", false);
    for (UINT command : {0u, UINT(ID_CONTACT), UINT(ID_MORE_FREEWARE), UINT(ID_REPORT_FAULT),
                         UINT(ID_SUGGEST_IMPROVEMENT), UINT(ID_SUGGEST_COLUMN), UINT(ID_FAQ)})
        menuRenderer_.SetIcon(command, url);
    menuRenderer_.SetIcon(ID_HELP_PAGE, FileTypeIcon(".hlp", false));
    menuRenderer_.SetIcon(ID_SHOW_INFO, smallIcon_);
    menuRenderer_.SetIcon(ID_RECOMMEND, FileTypeIcon(".mapimail", false));

    int tab = ReadIntOption(kOptTabId, 0);
    dpi_ = WindowDpi(window_);
    if (dpi_ != ScreenDpi())
        menuRenderer_.SetScale(dpi_);
    FitBanner();
    for (Page* page : Pages())
        page->Create(window_);
    EmbedPages();
    toolbar_ = toolbarButtons_.Create(window_, ControlRect(window_, IDC_TOOLBAR_PLACE), smallIcon_,
                                      explorerWindow_ != nullptr, dpi_);
    StartLayout();
    RestoreSize();
    CenterOverOwner();
    maximiseWhenShown_ = ReadIntOption(kOptDialogMaximiert, 0) == 1;

    UINT command = tab >= 0 && tab < 4 ? kPageCommands[tab] : ID_SHOW_COLUMNS;
    SendMessageA(window_, WM_COMMAND, command, 0);
    // The page put the focus where it belongs; TRUE would let the dialog manager move it
    // to the first tab stop and select the whole text of an edit box there.
    return FALSE;
}

void MainDialog::FitBanner() {
    // The template's banner control grows with the text scale; the picture is stretched
    // to fill it (at 100 % the two are the same size).
    HWND control = GetDlgItem(window_, IDC_BANNER);
    RECT area = {};
    if (!control || !GetClientRect(control, &area))
        return;
    HBITMAP shown = reinterpret_cast<HBITMAP>(SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP facts = {};
    if (shown && GetObjectW(shown, sizeof facts, &facts) && facts.bmWidth == area.right &&
        facts.bmHeight == area.bottom)
        return;
    // From the picture as drawn, not from one stretched before.
    HBITMAP drawn = static_cast<HBITMAP>(LoadImageA(ModuleInstance(), MAKEINTRESOURCEA(IDB_BANNER),
                                                    IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HBITMAP fitted = drawn ? StretchedBitmap(drawn, area.right, area.bottom, true) : nullptr;
    if (drawn)
        DeleteObject(drawn);
    if (!fitted)
        return;
    HBITMAP old = banner_;
    ReplaceStaticBitmap(control, fitted);
    banner_ = fitted;
    if (old && GetObjectType(old))
        DeleteObject(old);
}

void MainDialog::SetScale(int dpi) {
    dpi_ = dpi;
    FitBanner();
    toolbarButtons_.SetScale(dpi);
    menuRenderer_.SetScale(dpi);
    for (Page* page : Pages())
        page->SetScale(dpi);
}

void MainDialog::CenterOverOwner() {
    RECT dialog;
    GetWindowRect(window_, &dialog);
    HWND owner = GetWindow(window_, GW_OWNER);
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(owner ? owner : window_, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    RECT around = work;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner))
        GetWindowRect(owner, &around);
    LONG width = dialog.right - dialog.left, height = dialog.bottom - dialog.top;
    LONG left = around.left + (around.right - around.left - width) / 2;
    LONG top = around.top + (around.bottom - around.top - height) / 2;
    if (left + width > work.right)
        left = work.right - width;
    if (top + height > work.bottom)
        top = work.bottom - height;
    if (left < work.left)
        left = work.left;
    if (top < work.top)
        top = work.top;
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

std::array<Page*, 4> MainDialog::Pages() {
    return {&infoPage_, &columnsPage_, &notesPage_, &detailsPage_};
}

void MainDialog::EmbedPages() {
    RECT origin = ControlRect(window_, IDC_PAGE_ORIGIN);
    for (Page* page : {static_cast<Page*>(&infoPage_), static_cast<Page*>(&notesPage_),
                       static_cast<Page*>(&columnsPage_), static_cast<Page*>(&detailsPage_)}) {
        HWND window = page->Window();
        if (!window)
            continue;
        LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
        style &= ~static_cast<LONG_PTR>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME);
        style |= WS_CHILD | WS_TABSTOP | DS_CONTROL;
        SetWindowLongPtrA(window, GWL_STYLE, style);
        LONG_PTR extended = GetWindowLongPtrA(window, GWL_EXSTYLE);
        extended &= ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME);
        extended |= WS_EX_CONTROLPARENT;
        SetWindowLongPtrA(window, GWL_EXSTYLE, extended);
        SetParent(window, window_);
        for (int id : {IDCANCEL, IDOK}) {
            if (HWND button = GetDlgItem(window, id)) {
                EnableWindow(button, FALSE);
                ShowWindow(button, SW_HIDE);
            }
        }
        SetWindowPos(window, nullptr, origin.left, origin.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
        ShowWindow(window, page == &columnsPage_ ? SW_SHOW : SW_HIDE);
        EnableWindow(window, page == &columnsPage_);
    }
}

void MainDialog::OnCommand(UINT command) {
    switch (command) {
    case ID_SHOW_COLUMNS:
        ShowPage(columnsPage_, command, 0);
        break;
    case ID_SHOW_NOTES:
        ShowPage(notesPage_, command, 1);
        break;
    case ID_SHOW_INFO:
        ShowPage(infoPage_, command, 2);
        break;
    case ID_SHOW_DETAILS:
        ShowPage(detailsPage_, command, 3);
        break;
    case ID_INFO_MENU:
        ShowInfoMenu();
        break;
    case ID_SEARCH_MENU:
        ShowSearchMenu();
        break;
    case ID_EXPORT_LIST:
        ExportList();
        break;
    case ID_CONTACT:
        OpenSiteLink("?Kontakt");
        break;
    case ID_MORE_FREEWARE:
        OpenSiteLink("?Freeware");
        break;
    case ID_REPORT_FAULT:
        OpenSiteLink("?Kontakt&Betreff=Fehler in " + ProductName());
        break;
    case ID_SUGGEST_IMPROVEMENT:
        OpenSiteLink("?Kontakt&Betreff=Verbesserungsvorschlag f\xFCr " + ProductName());
        break;
    case ID_SUGGEST_COLUMN:
        OpenSiteLink("?Kontakt&Betreff=Spatle empfehlen f\xFCr " + ProductName());
        break;
    case ID_FAQ:
        OpenSiteLink("?Faq&SID=" + ProductName());
        break;
    case ID_RECOMMEND:
        SendRecommendationMail(window_, "", recommendSubject_.c_str());
        break;
    case ID_HELP_PAGE:
        OpenHelpPage();
        break;
    case IDCANCEL: // "Beenden", Escape and the close box
        EndDialog(window_, IDCANCEL);
        break;
    default: // Enter (IDOK) and anything else: the dialog stays as it is
        break;
    }
}

void MainDialog::ShowPage(Page& page, UINT command, int tabValue) {
    // The keyboard goes with the page: the focus to its first control, and the hidden
    // pages disabled, so that neither Tab nor a mnemonic reaches what cannot be seen.
    EnableWindow(page.Window(), TRUE);
    ShowWindow(page.Window(), SW_SHOW);
    page.Focus();
    for (Page* other : Pages())
        if (other != &page) {
            ShowWindow(other->Window(), SW_HIDE);
            EnableWindow(other->Window(), FALSE);
        }
    for (UINT button : {UINT(ID_SHOW_COLUMNS), UINT(ID_SHOW_DETAILS), UINT(ID_SHOW_NOTES)})
        SendMessageA(toolbar_, TB_CHECKBUTTON, button, MAKELONG(button == command, 0));
    // The details page exports its own rows, with or without an Explorer window.
    SendMessageA(toolbar_, TB_ENABLEBUTTON, ID_EXPORT_LIST,
                 MAKELONG(explorerWindow_ != nullptr || &page == &detailsPage_, 0));
    WriteIntOption(kOptTabId, tabValue);
    if (&page == &detailsPage_)
        FillDetailsPage();
}

void MainDialog::FillDetailsPage() {
    SelectionCopy selection = TheShellSelection().Copy();
    if (selection.folder) {
        detailsPage_.Fill(selection.folder.get());
        return;
    }
    if (selection.Count() != 0 && selection.At(0)) {
        detailsPage_.Fill(selection.At(0));
        return;
    }
    UniqueIdList desktop;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, desktop.put())) && desktop)
        detailsPage_.Fill(desktop.get());
}

POINT MainDialog::BelowButton(UINT command) const {
    POINT corner = {};
    LRESULT index = SendMessageA(toolbar_, TB_COMMANDTOINDEX, command, 0);
    RECT rect = {};
    if (SendMessageA(toolbar_, TB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&rect))) {
        corner.x = rect.left;
        corner.y = rect.bottom;
    }
    ClientToScreen(toolbar_, &corner);
    return corner;
}

void MainDialog::ShowInfoMenu() {
    POINT corner = BelowButton(ID_INFO_MENU);
    HMENU menu = LoadMenuA(ModuleInstance(), MAKEINTRESOURCEA(IDM_INFO));
    if (!menu)
        return;
    UINT chosen = 0;
    if (HMENU popup = GetSubMenu(menu, 0)) {
        SendMessageA(toolbar_, TB_PRESSBUTTON, ID_INFO_MENU, MAKELONG(TRUE, 0));
        chosen = menuRenderer_.Track(popup, corner, window_);
        SendMessageA(toolbar_, TB_PRESSBUTTON, ID_INFO_MENU, MAKELONG(FALSE, 0));
    }
    DestroyMenu(menu);
    if (chosen)
        SendMessageA(window_, WM_COMMAND, chosen, 0);
}

void MainDialog::ShowSearchMenu() {
    POINT corner = BelowButton(ID_SEARCH_MENU);
    SendMessageA(toolbar_, TB_PRESSBUTTON, ID_SEARCH_MENU, MAKELONG(TRUE, 0));
    searchMenu_.ForgetTexts();
    SelectionCopy selection = TheShellSelection().Copy();
    if (!searchMenu_.Build(selection, window_) && selection.folder)
        searchMenu_.BuildForFolder(selection.folder.get(), window_);
    // With nothing built now, a menu of an earlier press shows again and leads nowhere.
    UINT chosen = menuRenderer_.Track(searchMenu_.Menu(), corner, window_);
    SendMessageA(toolbar_, TB_PRESSBUTTON, ID_SEARCH_MENU, MAKELONG(FALSE, 0));
    if (chosen == 0)
        return;
    if (const std::string* text = searchMenu_.TextOf(chosen))
        ShellOpen(window_, MakeSearchLink(*text), SW_SHOW);
}

void MainDialog::ExportList() {
    // In front of the details page, what the page shows; elsewhere Explorer's list.
    if (detailsPage_.Window() && IsWindowVisible(detailsPage_.Window())) {
        ExportDetailsPage();
        return;
    }
    try {
        // The list view of the desktop and of older Explorers first; else the shell view
        // of a current Explorer window, whose file list is no list view.
        if (HWND list = FindExplorerListView(explorerWindow_)) {
            ListExporter exporter(list);
            rb::ExportList(exporter, "Rubrikator");
            return;
        }
        ComPtr<IShellView> view = FindShellView(explorerWindow_);
        std::unique_ptr<ShellViewSource> source = ShellViewSource::Open(view.get());
        if (!source) {
            MessageBoxA(window_, "Kein Explorerfenster", "", MB_OK);
            return;
        }
        ListExporter exporter(*source, GetAncestor(explorerWindow_, GA_ROOT));
        rb::ExportList(exporter, "Rubrikator");
    } catch (const std::exception&) { // out of memory in a huge list
        MessageBoxA(window_, kExportFailedText, "", MB_OK | MB_ICONERROR);
    }
}

void MainDialog::OpenSiteLink(const std::string& tail) {
    if (tail.size() > 3)
        ShellOpen(window_, MainSiteAddress() + tail, SW_SHOW);
}

void MainDialog::OpenHelpPage() {
    // Only the old built-in browser reads module resources; where it is gone, the page
    // goes to a file first.
    if (ShellOpen(nullptr, "res://" + ModuleFileNameA() + "/202", SW_SHOWMAXIMIZED))
        return;
    std::string file = WriteHelpFile();
    if (!file.empty())
        ShellOpen(nullptr, file, SW_SHOWMAXIMIZED);
}

} // namespace rb
