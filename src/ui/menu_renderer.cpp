#include "ui/menu_renderer.h"

#include "ui/ui_scale.h"

namespace rb {

namespace {

// Between an item's icon and its text, as the system's own menus have it.
constexpr int kGapAt96Dpi = 4;

UINT TrackWithSystem(HMENU menu, POINT corner, HWND owner) {
    return static_cast<UINT>(
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON,
                       corner.x, corner.y, 0, owner, nullptr));
}

PopupChooser chooser = &TrackWithSystem;

} // namespace

PopupChooser SetPopupChooser(PopupChooser replacement) {
    PopupChooser previous = chooser;
    chooser = replacement ? replacement : &TrackWithSystem;
    return previous;
}

MenuRenderer::MenuRenderer()
    : size_(SmallIconSize()), gap_(ScaleForDpi(kGapAt96Dpi)),
      list_(ImageList_Create(size_, size_, ILC_COLOR32 | ILC_MASK, 1, 1)) {}

MenuRenderer::~MenuRenderer() {
    if (list_)
        ImageList_Destroy(list_);
}

void MenuRenderer::SetIcon(UINT command, HICON icon) {
    if (!list_ || !icon)
        return;
    auto found = images_.find(command);
    int index = ImageList_ReplaceIcon(list_, found == images_.end() ? -1 : found->second, icon);
    if (index >= 0) {
        images_[command] = index;
        icons_[command] = icon;
    }
}

void MenuRenderer::SetScale(int dpi) {
    const int size = SmallIconSizeAt(dpi);
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 1, 1);
    if (!list)
        return;
    if (list_)
        ImageList_Destroy(list_);
    list_ = list;
    size_ = size;
    gap_ = ScaleTo(kGapAt96Dpi, dpi);
    images_.clear();
    const std::map<UINT, HICON> icons = icons_;
    for (const auto& entry : icons)
        SetIcon(entry.first, entry.second);
}

void MenuRenderer::Prepare(HMENU menu) const {
    int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info))
            continue;
        if (info.hSubMenu) {
            Prepare(info.hSubMenu);
            continue;
        }
        if ((info.fType & MFT_SEPARATOR) || !HasIcon(info.wID))
            continue;
        MENUITEMINFOA bitmap = {};
        bitmap.cbSize = sizeof bitmap;
        bitmap.fMask = MIIM_BITMAP;
        bitmap.hbmpItem = HBMMENU_CALLBACK;
        SetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &bitmap);
    }
}

UINT MenuRenderer::Track(HMENU menu, POINT corner, HWND owner) const {
    if (!menu)
        return 0;
    Prepare(menu);
    return chooser(menu, corner, owner);
}

bool MenuRenderer::MeasureItem(MEASUREITEMSTRUCT* item) const {
    if (!item || item->CtlType != ODT_MENU)
        return false;
    // The icon's column, with the gap to the text.
    item->itemWidth = static_cast<UINT>(size_ + gap_);
    item->itemHeight = static_cast<UINT>(size_);
    return true;
}

bool MenuRenderer::DrawItem(const DRAWITEMSTRUCT* item) const {
    if (!item || item->CtlType != ODT_MENU)
        return false;
    auto found = images_.find(item->itemID);
    if (found == images_.end())
        return true;
    int top = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - size_) / 2;
    ImageList_Draw(list_, found->second, item->hDC, item->rcItem.left, top, ILD_TRANSPARENT);
    return true;
}

} // namespace rb
