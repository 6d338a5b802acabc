// The columns settings page: the twelve columns, a description of each, and the
// formatting options of the folder size and the two counts, written the moment they change.
#pragma once

#include "ui/page.h"

namespace rb {

// The page's description of column `index` (Windows-1252), empty past the catalogue.
const char* ColumnDescription(int index);

class ColumnsPage : public Page {
public:
    ColumnsPage();
    // The list's columns fit their texts again (the font grew or shrank with the scale).
    void SetScale(int dpi) override;

    static constexpr UINT_PTR kSelectionPollTimer = 1000;
    static constexpr UINT kSelectionPollMilliseconds = 100;

protected:
    BOOL OnInitDialog() override;
    unsigned AnchorsOf(HWND control, const RECT& place) override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnTick();
    void OnCheckBox(int id);
    void OnUnitChosen();

    int lastIndex_ = -1;
    HWND list_ = nullptr;
};

} // namespace rb
