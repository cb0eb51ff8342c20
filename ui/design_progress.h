#pragma once
// CDesignProgress: the progress bar drawn as a purple frame holding a row of colour blocks that
// run from blue to magenta. It subclasses the dialog's progress control, so the range, step and
// position messages stay the platform's own.
#include <windows.h>

#include "ui/dialog.h"

class CDesignProgress : public CProgressCtrl {
public:
    // Draws the whole bar, `width` x `height`, into `dc` at its origin. Inside the frame lies
    // what the parent paints for WM_PRINTCLIENT at that place, or white when it paints nothing.
    void Render(HDC dc, int width, int height);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The right end of the filled part for `pos` in the range lower..upper on a bar `width` pixels
// wide; blocks start at x 10, 30, 50, ... while x is below it.
int ProgressFill(int pos, int lower, int upper, int width);
// The colour of the block that starts at `x` on a bar `width` pixels wide.
COLORREF ProgressBlockColor(int x, int width);
