// The main dialog: banner, toolbar, the "Info ..." and "I-net ?!" popups, the list export
// and four embedded pages of which one is shown.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "resource_ids.h"
#include "ui/columns_page.h"
#include "ui/details_page.h"
#include "ui/info_page.h"
#include "ui/menu_renderer.h"
#include "ui/notes_page.h"
#include "ui/search_menu.h"
#include "ui/toolbar.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace rb {

// The message of an export that failed inside (out of memory); the dialog stays open.
constexpr const char* kExportFailedText =
    "Der Export ist fehlgeschlagen: zu wenig Speicher.\nThe export failed: out of memory.";

class MainDialog {
public:
    // `explorerWindow`: the Explorer window of the context-menu command, null otherwise.
    explicit MainDialog(HWND explorerWindow = nullptr);
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // Runs the dialog modally under `owner` inside the module's activation context: 2
    // when it was closed, -1 when it could not be made (`templateId` is for tests).
    INT_PTR RunModal(HWND owner, int templateId = IDD_MAIN);

    HWND Window() const { return window_; }

    // Posted to itself after a change of scale, once the system has scaled the dialog.
    static constexpr UINT kScaleChanged = WM_APP + 20;

private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    BOOL OnInitDialog();
    void OnCommand(UINT command);

    // The growing window (main_dialog_layout.cpp).
    void StartLayout();
    void RestoreSize();
    void KeepSize();
    void ScaleLayout(int from, int to);

    void FitBanner();
    // The dialog's own pictures, icons and list columns for `dpi`.
    void SetScale(int dpi);
    void CenterOverOwner();
    // The four pages in the order they are created.
    std::array<Page*, 4> Pages();
    void EmbedPages();
    void ShowPage(Page& page, UINT command, int tabValue);
    void FillDetailsPage();
    POINT BelowButton(UINT command) const;
    void ShowInfoMenu();
    void ShowSearchMenu();
    void ExportList();
    void ExportDetailsPage(); // details_export.cpp
    void OpenSiteLink(const std::string& tail);
    void OpenHelpPage();

    HWND window_ = nullptr;
    MenuRenderer menuRenderer_;
    DetailsPage detailsPage_;
    SearchMenu searchMenu_; // the "I-net ?!" popup last built, with the texts behind it
    MainToolbar toolbarButtons_;
    HWND toolbar_ = nullptr;
    NotesPage notesPage_;
    std::string recommendSubject_;
    HWND explorerWindow_;
    ColumnsPage columnsPage_;
    InfoPage infoPage_;

    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HBITMAP banner_ = nullptr; // the banner stretched to its control, when the scale asks
    int dpi_ = 96;             // of the monitor that shows the dialog
    ControlLayout layout_;
    SIZE smallest_ = {};       // the window's size as the template makes it
    bool maximiseWhenShown_ = false; // the dialog was maximised when it last closed
};

// The help page written out for browsers that cannot read module resources.
constexpr const char* kHelpFileName = "Rubrikator_Hilfe.htm";

} // namespace rb
